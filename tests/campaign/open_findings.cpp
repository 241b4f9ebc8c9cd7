#include "tests/campaign/open_findings.h"

#include <algorithm>

namespace q71x::campaign {
namespace {

using sim::CdbPattern;
using sim::FaultKind;

constexpr std::uint32_t kShortOrGarbage = FaultBit(FaultKind::Short) | FaultBit(FaultKind::Garbage);
constexpr std::uint32_t kEveryFault = FaultBit(FaultKind::Fail) | kShortOrGarbage |
                                      FaultBit(FaultKind::Timeout) | FaultBit(FaultKind::Unplug);

constexpr std::uint32_t kEveryProcedure = ProcedureBit(UpdateProcedure::UpdateSerialFlash) |
                                          ProcedureBit(UpdateProcedure::UpdateFlashWithNvram) |
                                          ProcedureBit(UpdateProcedure::UpdateSerialFlashSpi) |
                                          ProcedureBit(UpdateProcedure::UpdateDfFlash) |
                                          ProcedureBit(UpdateProcedure::UpdateDf2Flash) |
                                          ProcedureBit(UpdateProcedure::UpdateParallelFlash) |
                                          ProcedureBit(UpdateProcedure::UpdateDiskFirmware);

// FF 04 10 / 11 at a 24-bit address.
CdbPattern SerialFlashBlock(std::uint8_t operation, std::uint32_t address) {
  return CdbPattern::Prefix({0xFF, 0x04, operation, static_cast<std::uint8_t>(address >> 16),
                             static_cast<std::uint8_t>(address >> 8),
                             static_cast<std::uint8_t>(address)});
}

// DF .. FA (read) / FB (write), either family, at a 24-bit address in bytes 8-10.
CdbPattern DfBlock(std::uint8_t code) {
  return CdbPattern::Prefix({0xDF}).With(11, code);
}
CdbPattern DfBlockAt(std::uint8_t code, std::uint32_t address) {
  return DfBlock(code)
      .With(8, static_cast<std::uint8_t>(address >> 16))
      .With(9, static_cast<std::uint8_t>(address >> 8))
      .With(10, static_cast<std::uint8_t>(address));
}

constexpr std::uint8_t kFlashRead = 0x10;
constexpr std::uint8_t kFlashWrite = 0x11;
constexpr std::uint8_t kDfRead = 0xFA;
constexpr std::uint8_t kDfWrite = 0xFB;

const std::vector<OpenFinding>& Findings() {
  static const std::vector<OpenFinding> findings = {
      {"backup-read-unproven",
       "every procedure family (shared backup helpers)",
       Verdict::FalseSuccess,
       kEveryProcedure,
       ActionBit(EngineeringAction::BackupOnly),
       {},
       kShortOrGarbage,
       {CdbPattern::Prefix({0xFF, 0x04, kFlashRead}), DfBlock(kDfRead),
        CdbPattern::Prefix({0xFF, 0x04, 0x03}), CdbPattern::Prefix({0x28}),
        CdbPattern::Prefix({0x88})},
       "A short or garbled answer to the backup read goes into the backup file whole, and the "
       "run reports \"Read flash and backup success!\": the operator keeps a backup that is not "
       "the old firmware.",
       "Read the range a second time and compare before writing the file (a short answer can "
       "also be caught by checking the moved length); on a difference report \"Read Back to "
       "Backup Error!!\" (serial, DF, disk) or \"Read ROM fail!!\" (parallel)."},

      {"serial-config-copy-unproven",
       "serial-flash procedures (UpdateSerialFlash)",
       Verdict::FalseSuccess,
       ProcedureBit(UpdateProcedure::UpdateSerialFlash),
       ActionBit(EngineeringAction::Update),
       {},
       kEveryFault,
       {SerialFlashBlock(kFlashRead, 0x8000), SerialFlashBlock(kFlashWrite, 0x8000)},
       "The 512-byte configuration copy at 0x8000 is never proven: a short or garbled read of it "
       "is written back; a failed read (write-back skipped) or a failed, short or garbled "
       "write-back leaves the area erased or wrong on parts whose erase unit at 0 reaches 0x8000 "
       "(MX25V512 with the 64 KB D8 erase); \"Programming Success!!\" and the box follow anyway.",
       "Read the copy twice and stop before the erase unless both reads succeeded and agree; "
       "after the write-back read the 512 bytes back (or take them into the final read-back "
       "compare) and report a failure instead of success when they differ."},

      {"nvram-read-unproven",
       "serial-flash procedures (UpdateFlashWithNvram) and DF-family procedures",
       Verdict::FalseSuccess,
       ProcedureBit(UpdateProcedure::UpdateFlashWithNvram) |
           ProcedureBit(UpdateProcedure::UpdateDfFlash) |
           ProcedureBit(UpdateProcedure::UpdateDf2Flash),
       ActionBit(EngineeringAction::Update) | ActionBit(EngineeringAction::EraseOnly),
       {},
       kShortOrGarbage,
       {SerialFlashBlock(kFlashRead, 0), DfBlockAt(kDfRead, 0), DfBlockAt(kDfRead, 0x8000),
        DfBlockAt(kDfRead, 0x8100), DfBlockAt(kDfRead, 0x8200), DfBlockAt(kDfRead, 0x8300)},
       "A short or garbled read of the device's configuration area is taken as the area: it is "
       "programmed (or written back after the erase) and verified against itself, so the run "
       "reports success while the device has lost its configuration.",
       "Read the configuration area twice before anything is erased and stop with \"Backup "
       "NVRAM command fail!\" unless both reads agree."},

      {"nvram-writeback-unverified",
       "serial-flash procedures (UpdateFlashWithNvram) and DF-family procedures",
       Verdict::FalseSuccess,
       ProcedureBit(UpdateProcedure::UpdateFlashWithNvram) |
           ProcedureBit(UpdateProcedure::UpdateDfFlash) |
           ProcedureBit(UpdateProcedure::UpdateDf2Flash),
       ActionBit(EngineeringAction::EraseOnly),
       {},
       kShortOrGarbage,
       {SerialFlashBlock(kFlashWrite, 0), DfBlockAt(kDfWrite, 0), DfBlockAt(kDfWrite, 0x8000),
        DfBlockAt(kDfWrite, 0x8100), DfBlockAt(kDfWrite, 0x8200), DfBlockAt(kDfWrite, 0x8300)},
       "The erase-only actions write the saved configuration area back without reading it "
       "back: a short or garbled write leaves a wrong area under \"Erase flash all success!\" "
       "and the power-cycle box.",
       "Read the area back after writing it and compare with the saved bytes; on a difference "
       "report \"Write NVRAM back command fail!\" with result 0 and no box (as the judged fault "
       "already does for a refused write)."},

      {"disk-area-located-from-failed-answers",
       "disk-kept firmware procedures (and the disk commands' fallbacks)",
       Verdict::FalseSuccess,
       ProcedureBit(UpdateProcedure::UpdateDiskFirmware),
       kEveryAction,
       {},
       kEveryFault,
       {DfBlock(0xFD), DfBlock(0xEC), CdbPattern::Prefix({0xFF, 0x04, 0xA0}),
        CdbPattern::Prefix({0x25}), CdbPattern::Prefix({0x28}), CdbPattern::Prefix({0x88})},
       "A failed or garbled answer while the area is located (the C000 firmware signature, "
       "IDENTIFY's sector count, the capacity, the configuration block, the descriptor sector) "
       "silently moves the area: the count falls back to 0 (10-byte commands on a 2^32-sector "
       "disk), firmware counts as absent, or the descriptor bytes are taken as they came. "
       "Programming, erase and backup then work on other sectors, overwrite what lies there, "
       "and report success; the erase-only action even copies garbled descriptor bytes into "
       "the area.",
       "Stop before any transfer when a command that locates the area fails, and accept a "
       "descriptor only with its 55/AA marks and a base near the end of the disk; report the "
       "refusal (e.g. \"Firmware area position out of range, firmware area not accessed!\")."},

      {"disk-descriptor-unvalidated",
       "disk-kept firmware procedures (and the disk commands' GetDiskFirmwareLba)",
       Verdict::Unrecovered,
       ProcedureBit(UpdateProcedure::UpdateDiskFirmware),
       ActionBit(EngineeringAction::Update) | ActionBit(EngineeringAction::EraseOnly),
       {},
       FaultBit(FaultKind::Garbage),
       {CdbPattern::Prefix({0x2A}), CdbPattern::Prefix({0x8A}), CdbPattern::Prefix({0x28}),
        CdbPattern::Prefix({0x88})},
       "Once a garbled block lands on the area's first sector, its descriptor names a base "
       "somewhere else; every later run takes that base as it stands and cannot reach the area "
       "again (or works on other sectors), so no fault-free run repairs the device.",
       "Check the descriptor's 55/AA marks and the base's range; treat a descriptor that fails "
       "the check as no firmware present, which places the area by the disk's capacity."},

      {"amic-erase-all-misses-a-boot-sector",
       "serial-flash procedures (EraseAllFlash)",
       Verdict::NeverWorks,
       ProcedureBit(UpdateProcedure::UpdateSerialFlash),
       ActionBit(EngineeringAction::EraseOnly),
       {"qv40716-amic"},
       0,
       {},
       "EraseAllFlash erases in FlashPageSize (8192-byte) steps; on an AMIC part with boot "
       "sectors (4, 4, 8, 16, 32 KB) the sector at 0x1000 is never addressed, so the erase-only "
       "action always ends on \"Data not 0xff !!\".",
       "For AMIC boot-sector parts (AmicFlashPart 1, 3, 5) erase at the boot-sector addresses "
       "the update uses (0x0000, 0x1000, 0x3000, 0x7000) and at 0xF000, or step by the part's "
       "smallest unit."},
  };
  return findings;
}

bool Covers(const OpenFinding& finding, const CampaignDevice& device, EngineeringAction action) {
  return (finding.Procedures & ProcedureBit(device.Run)) != 0 &&
         (finding.Actions & ActionBit(action)) != 0 &&
         (finding.Devices.empty() || std::find(finding.Devices.begin(), finding.Devices.end(),
                                               device.Key) != finding.Devices.end());
}

bool HitsCommand(const OpenFinding& finding, std::span<const std::uint8_t> cdb) {
  return finding.Commands.empty() ||
         std::any_of(finding.Commands.begin(), finding.Commands.end(),
                     [cdb](const CdbPattern& pattern) { return pattern.Matches(cdb); });
}

}  // namespace

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::FalseSuccess:
      return "false success";
    case Verdict::UnknownText:
      return "text no failure table names";
    case Verdict::Unrecovered:
      return "unrecovered";
    case Verdict::NeverWorks:
      return "fails without any fault";
  }
  return "";
}

std::span<const OpenFinding> OpenFindings() {
  return Findings();
}

const OpenFinding* ExplainingFinding(const CampaignDevice& device, EngineeringAction action,
                                     Verdict verdict, sim::FaultKind fault,
                                     std::span<const std::uint8_t> cdb) {
  for (const OpenFinding& finding : Findings()) {
    if (finding.Kind == verdict && Covers(finding, device, action) &&
        (finding.Faults & FaultBit(fault)) != 0 && HitsCommand(finding, cdb)) {
      return &finding;
    }
  }
  return nullptr;
}

const OpenFinding* ExplainingBaselineFinding(const CampaignDevice& device,
                                             EngineeringAction action) {
  for (const OpenFinding& finding : Findings()) {
    if (finding.Kind == Verdict::NeverWorks && Covers(finding, device, action)) {
      return &finding;
    }
  }
  return nullptr;
}

}  // namespace q71x::campaign
