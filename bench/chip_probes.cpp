#include "bench/chip_probes.h"

#include <array>
#include <cstdint>
#include <initializer_list>

#include "src/app/firmware_version_text.h"
#include "src/app/toggle_bit_probe.h"
#include "src/device/chip_tables.h"
#include "src/device/identification.h"
#include "src/image/firmware_match.h"

namespace q71x::bench {
namespace {

constexpr std::uint32_t kConfigBlockLength = 18;
constexpr std::uint32_t kJedecIdLength = 4;
constexpr std::uint32_t kSmallPageSize = 32;
constexpr std::array<std::uint8_t, 5> kSmallPageOpcodes = {0xC7, 0xD8, 0x02, 0x00, 0x20};

enum class ChipGroup { SerialFlash, DiskKept, ParallelFlash, NotSupported };

ChipGroup GroupOf(std::uint8_t chipType) {
  switch (chipType) {
    case 1:
    case 3:
    case 4:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 14:
      return ChipGroup::SerialFlash;
    case 5:
    case 13:
      return ChipGroup::DiskKept;
    case 2:
    case 19:
      return ChipGroup::ParallelFlash;
    default:
      return ChipGroup::NotSupported;
  }
}

bool JedecIdIs(const std::string& path, std::uint8_t first, std::uint8_t second,
               std::initializer_list<std::uint8_t> thirdAnyOf = {}) {
  std::uint8_t id[kJedecIdLength] = {};
  if (SpiCommandIn(path, 0x9F, id, kJedecIdLength) == 0 || id[0] != first || id[1] != second) {
    return false;
  }
  if (thirdAnyOf.size() == 0) {
    return true;
  }
  for (std::uint8_t third : thirdAnyOf) {
    if (id[2] == third) {
      return true;
    }
  }
  return false;
}

bool HasSmallPageMxicId(const std::string& path) {
  return JedecIdIs(path, 0xC2, 0x22, {0x10, 0x11, 0x13});
}

void TakeFlashVendor(int vendor, bool takeEraseUnits, ChipState& state, ProgramSettings& settings) {
  state.FlashVendor = SafeFlashVendor(vendor);
  if (takeEraseUnits) {
    const FlashVendorRow& row = kFlashVendors[static_cast<std::size_t>(state.FlashVendor)];
    settings.EraseBlockSize = row.LargeEraseUnit;
    settings.EraseSectorSize = row.SmallEraseUnit;
  }
}

void DetermineFlashWithOpcodes(const std::string& path, ChipState& state,
                               ProgramSettings& settings) {
  FlashOpcodeSet opcodes;
  if (DetectSerialFlash(path, opcodes) == 1 && opcodes.Vendor != 0) {
    SetFlashOpcodes(path, opcodes);
  }
  TakeFlashVendor(opcodes.Vendor, false, state, settings);
  if (state.ChipType == 14 && HasSmallPageMxicId(path)) {
    SetFlashPageSize(path, kSmallPageSize);
  }
}

void DetermineFlashByVendorQuery(const std::string& path, ChipState& state,
                                 ProgramSettings& settings) {
  std::uint8_t reply[4] = {};
  if (GetFlashVendor(path, reply) == 1) {
    TakeFlashVendor(reply[0], true, state, settings);
  }
  const std::uint8_t type = state.ChipType;
  if (!((type == 10 && state.ChipRevision >= 5) || type == 11)) {
    return;
  }
  if (state.FlashVendor == 0) {
    FlashOpcodeSet opcodes;
    if (DetectSerialFlash(path, opcodes) == 1) {
      TakeFlashVendor(opcodes.Vendor, true, state, settings);
    }
  }
  if (state.FlashVendor == 5) {
    if (HasSmallPageMxicId(path)) {
      SetFlashOpcodesEx(path, kSmallPageOpcodes, kSmallPageSize);
    }
  } else if (state.FlashVendor == 2 && JedecIdIs(path, 0xBF, 0x25)) {
    state.SstSpiFlash = 1;
  }
}

void DetermineFlashByProbing(const std::string& path, ChipState& state, ProgramSettings& settings) {
  state.AmicFlashPart = ProbeAmicFlash(path);
  state.AtmelFlashPart = ProbeAtmelFlash(path);
  if (state.AmicFlashPart != -1 || state.AtmelFlashPart != -1) {
    return;
  }
  std::uint8_t reply[4] = {};
  if (GetFlashVendor(path, reply) == 0) {
    return;
  }
  if (reply[0] != 0) {
    TakeFlashVendor(reply[0], false, state, settings);
    return;
  }
  FlashOpcodeSet opcodes;
  if (DetectSerialFlash(path, opcodes) == 1) {
    TakeFlashVendor(opcodes.Vendor, false, state, settings);
  }
}

void ProbeSerialFlash(const std::string& path, ChipState& state, ProgramSettings& settings) {
  state.AtmelFlashPart = -1;
  state.AmicFlashPart = -1;
  const std::uint8_t type = state.ChipType;
  const bool on1394 = path.find("sbp2") != std::string::npos;
  if ((type == 12 && state.ChipRevision > 2) || type == 14) {
    DetermineFlashWithOpcodes(path, state, settings);
  } else if (type == 8 || type == 9 || type == 10 || type == 11 || (type == 7 && on1394)) {
    DetermineFlashByVendorQuery(path, state, settings);
  } else {
    DetermineFlashByProbing(path, state, settings);
  }
}

void ReadDiskKeptLevel(const std::string& path, ChipState& state) {
  std::uint8_t block[kConfigBlockLength] = {};
  const int level = ReadConfigBlock(path, block, kConfigBlockLength);
  if (level != 0) {
    state.ConfigLevel = level;
  }
}

std::string FirmwareVersion(const std::string& path, std::uint8_t chipType) {
  std::uint8_t reply[kFwInfoLength] = {};
  std::uint32_t transferred = 0;
  if (ReadFwInfo(path, reply, kFwInfoLength, &transferred) == 0) {
    return UnreadableVersionText(chipType);
  }
  if (!HasFwInfoSignature(reply)) {
    return {};
  }
  const int toggleBitSet = chipType == 10 ? ToggleBitProbe(path) : 0;
  return FirmwareVersionText(chipType, reply, transferred, toggleBitSet);
}

}  // namespace

ChipProbeOutcome RunChipProbes(const std::string& devicePath, const std::string& firmwareFile,
                               ChipState& state, ProgramSettings& settings) {
  ChipProbeOutcome outcome;
  const std::uint16_t identity = IdentifyChip(devicePath);
  state.ChipType = IdentityType(identity);
  state.ChipRevision = IdentityRevision(identity);
  if (!firmwareFile.empty()) {
    outcome.FileMatches = FirmwareMatchesChip(firmwareFile, identity) == 1;
  }
  switch (GroupOf(state.ChipType)) {
    case ChipGroup::SerialFlash:
      ProbeSerialFlash(devicePath, state, settings);
      break;
    case ChipGroup::DiskKept:
      ReadDiskKeptLevel(devicePath, state);
      break;
    case ChipGroup::ParallelFlash:
    case ChipGroup::NotSupported:
      break;
  }
  outcome.VersionText = FirmwareVersion(devicePath, state.ChipType);
  return outcome;
}

}  // namespace q71x::bench
