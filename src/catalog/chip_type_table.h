// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The chip-type table: one row per bridge chip the tool knows, numbered as the bridges' own
// identification numbers them (the row number is ChipType). Each row says how identification
// arrives at it, what keeps the chip's firmware, how the chip check finds the serial flash,
// which image files belong to the chip, how its firmware version reads, and which update
// procedure Run starts for it. Everything that differs by chip row is read from here, so a new
// row is one entry below plus its procedure; CheckChipTypeTable guards the entries.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace q71x {

inline constexpr int kChipTypeCount = 20;

// The rows by name; the value is the row number.
enum class ChipType : std::uint8_t {
  Unknown = 0,
  Qv40714Series = 1,
  Qv40712Series = 2,
  Qv40716Series = 3,
  Qv40713Series = 4,
  Qv40709Series = 5,
  Qvk842Series = 6,
  Qvk846Series = 7,
  Qvk848Series = 8,
  Qvk844Series = 9,
  Qvn962Series = 10,
  Qvn958Series = 11,
  Qvk926Series = 12,
  Qvk924Series = 13,
  Qv40713ESeries = 14,  // the disk-capable QV40713, found by its chip-info code
  Qv40716 = 15,         // rows 15-18: found by the chip-id bits of bridges without firmware info
  Qv40718 = 16,
  Qv40713 = 17,
  Qv40714 = 18,
  Qv40712 = 19,  // found by its USB ids
};

// What keeps a chip type's firmware, which decides the chip check's display and the procedures.
enum class ChipGroup { SerialFlash, DiskKept, ParallelFlash, NotSupported };

// How byte 5 of the chip-info reply gives the revision of the row its code names.
enum class ChipInfoRevision {
  AsciiDigit,        // byte 5 - 0x2F: the digit "0" is revision 1
  AsciiDigitOrZero,  // the same, and a zero byte is revision 1 too
  Count,             // byte 5 + 1
};

// What identification asks once the INQUIRY code or the firmware information named the row.
enum class IdentifyRefinement {
  None,
  ChipInfo,        // the chip-info code may name another row, and gives the revision
  FwInfoRevision,  // a second firmware-information read gives revision 1 or 2
  LateRevision,    // the controller memory tells the late revision (5) from the others
};

// How the chip check finds the serial flash behind the bridge.
enum class FlashProbe {
  None,        // no serial flash behind the bridge
  PartProbes,  // the AMIC and ATMEL part probes, then the bridge's vendor, then detection
  PartProbesOrVendorQueryOn1394,  // VendorQuery on a 1394 path, PartProbes elsewhere
  VendorQuery,                    // the bridge's own vendor query, erase units from its row
  // VendorQuery, then detection when the bridge knows no vendor; 32-byte-page MXIC parts and
  // SST parts with word programming are told apart.
  VendorQueryOrDetection,
  VendorQueryOrDetectionFromRevision5,  // VendorQueryOrDetection from revision 5, VendorQuery below
  Detection,  // detection with the opcodes handed to the bridge; 32-byte MXIC pages announced
  // Detection with the opcodes handed over from revision 3 on (no pages announced); PartProbes
  // below it.
  DetectionFromRevision3,
};

// Which image files belong to a chip of the row, once the header is read. "The code" is the
// row's ImageMatch (its ImageCode when that is empty); the digit for k is '0' + k.
enum class ImageRule {
  Never,
  Always,
  NotSeriesCode,     // any file whose code does not begin with the series prefix "71"
  CodeWithRevision,  // the code and the digit for revision - 1
  // Revision 1 images carry a mark of their own in place of the code; later ones as above.
  Revision1MarkOrCodeWithRevision,
  CodePrefix,           // the file code begins with the code; the revision is not compared
  RevisionByte,         // header byte 8 names revision - 1 (a zero byte is revision 1)
  SignatureByRevision,  // the first 8 bytes are the signature of revision 1 or 2
};

// How the firmware-information reply reads as a version.
enum class VersionStyle {
  Plain,               // "Ver a.bb.cc" from bytes 12-14 when present, else "Ver a.bb"
  FiveNumbers,         // bytes 6, 7, 12, 13, 14 as "a.bb.cc.dd.ee"
  FiveNumbersToggled,  // the same, the last number signed and toggled by the toggle-bit probe
};

// Which update procedure Run starts; the rules with a condition are decided from the facts the
// chip check gathered (and, for ByModeFlag, one question to the device).
enum class ProcedureRule {
  None,
  SerialFlash,
  SerialFlashOrDiskFirmware,  // the disk procedure when no flash vendor was found
  FlashWithNvram,
  Df2FlashOn1394OrSerialFlash,  // the 1394 family's procedure on a 1394 path
  DfFlash,
  ByModeFlag,  // DF or dual-path once the mode flag or revision 5 says so, else FlashWithNvram
  ParallelFlash,
  DiskFirmware,
  DiskFirmwareFromLevel,  // the disk procedure from the supported configuration level on
};

struct ChipTypeRow {
  ChipType Type = ChipType::Unknown;
  std::string_view DisplayName{};  // at most 19 characters: a 20-byte zero-padded field

  std::string_view InquiryCode{};   // INQUIRY bytes 36-39, empty when none
  std::string_view InfoCode{};      // firmware-information bytes 8-10, empty when none
  std::string_view ChipInfoCode{};  // GetChipInfo bytes 0-4 (0-3 for "q842"), empty when none
  ChipInfoRevision ChipInfoRevisionFrom = ChipInfoRevision::AsciiDigit;
  IdentifyRefinement Refinement = IdentifyRefinement::None;

  ChipGroup Group = ChipGroup::NotSupported;
  FlashProbe Flash = FlashProbe::None;

  std::string_view ImageCode{};  // three digits in the image header, empty when none
  ImageRule Image = ImageRule::Never;
  std::string_view ImageMatch{};  // what the image rule compares with, when not ImageCode
  bool LateHeader = false;        // the header stands at 16384, known by two signature bytes
  bool NvramBlock = false;        // images may begin with the device's 4 KB NVRAM block

  VersionStyle Version = VersionStyle::Plain;
  std::string_view UnreadableVersion = "01.00";  // shown when the version cannot be read

  ProcedureRule Procedure = ProcedureRule::None;

  // The bridge must be told a write is coming before the DF family erases or programs.
  bool PrepareDfWrite = false;
  // Erase-only may keep the configuration area: the erase-only tick shows the NVRAM box.
  bool EraseOnlyOffersNvram = false;
  // Erase-only and backup-only cover the firmware size the operator chooses.
  bool ChoosesFirmwareSize = false;
  // The released images count their revision character from "1", not "0".
  bool ImageRevisionFromOne = false;
};

inline constexpr std::array<ChipTypeRow, kChipTypeCount> kChipTypes{{
    {.Type = ChipType::Unknown,
     .DisplayName = "Unknown Chip",
     .Refinement = IdentifyRefinement::ChipInfo,
     .UnreadableVersion = "00.00"},
    {.Type = ChipType::Qv40714Series,
     .DisplayName = "QV40714 Series",
     .InquiryCode = "q714",
     .InfoCode = "714",
     .ChipInfoCode = "q714C",
     .Refinement = IdentifyRefinement::ChipInfo,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::PartProbes,
     .ImageCode = "714",
     .Image = ImageRule::Revision1MarkOrCodeWithRevision,
     .UnreadableVersion = "02.00",
     .Procedure = ProcedureRule::SerialFlash},
    {.Type = ChipType::Qv40712Series,
     .DisplayName = "QV40712 Series",
     .InquiryCode = "q712",
     .InfoCode = "712",
     .Group = ChipGroup::ParallelFlash,
     .ImageCode = "712",
     .Image = ImageRule::NotSeriesCode,
     .UnreadableVersion = "02.00",
     .Procedure = ProcedureRule::ParallelFlash},
    {.Type = ChipType::Qv40716Series,
     .DisplayName = "QV40716 Series",
     .InquiryCode = "q716",
     .InfoCode = "716",
     .Refinement = IdentifyRefinement::ChipInfo,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::PartProbes,
     .ImageCode = "716",
     .Image = ImageRule::Always,
     .Procedure = ProcedureRule::SerialFlash},
    {.Type = ChipType::Qv40713Series,
     .DisplayName = "QV40713 Series",
     .InquiryCode = "q713",
     .InfoCode = "713",
     .ChipInfoCode = "q713C",
     .Refinement = IdentifyRefinement::ChipInfo,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::PartProbes,
     .ImageCode = "713",
     .Image = ImageRule::CodeWithRevision,
     .UnreadableVersion = "02.00",
     .Procedure = ProcedureRule::SerialFlash,
     .ChoosesFirmwareSize = true},
    {.Type = ChipType::Qv40709Series,
     .DisplayName = "QV40709 Series",
     .InquiryCode = "q709",
     .InfoCode = "709",
     .Group = ChipGroup::DiskKept,
     .ImageCode = "709",
     .Image = ImageRule::CodePrefix,
     .Procedure = ProcedureRule::DiskFirmwareFromLevel},
    {.Type = ChipType::Qvk842Series,
     .DisplayName = "QVK842 Series",
     .InquiryCode = "q842",
     .InfoCode = "842",
     .ChipInfoCode = "q842",
     .ChipInfoRevisionFrom = ChipInfoRevision::AsciiDigitOrZero,
     .Refinement = IdentifyRefinement::ChipInfo,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::PartProbes,
     .ImageCode = "842",
     .Image = ImageRule::RevisionByte,
     .NvramBlock = true,
     .Procedure = ProcedureRule::FlashWithNvram,
     .EraseOnlyOffersNvram = true},
    {.Type = ChipType::Qvk846Series,
     .DisplayName = "QVK846 Series",
     .InquiryCode = "q846",
     .InfoCode = "846",
     .Refinement = IdentifyRefinement::FwInfoRevision,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::PartProbesOrVendorQueryOn1394,
     .ImageCode = "846",
     .Image = ImageRule::SignatureByRevision,
     .Procedure = ProcedureRule::Df2FlashOn1394OrSerialFlash},
    // The 848 takes the 844's images.
    {.Type = ChipType::Qvk848Series,
     .DisplayName = "QVK848 Series",
     .InquiryCode = "q848",
     .InfoCode = "848",
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::VendorQuery,
     .ImageCode = "844",
     .Image = ImageRule::CodePrefix,
     .NvramBlock = true,
     .Version = VersionStyle::FiveNumbers,
     .Procedure = ProcedureRule::DfFlash,
     .ImageRevisionFromOne = true},
    {.Type = ChipType::Qvk844Series,
     .DisplayName = "QVK844 Series",
     .InquiryCode = "q844",
     .InfoCode = "844",
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::VendorQuery,
     .ImageCode = "844",
     .Image = ImageRule::CodePrefix,
     .NvramBlock = true,
     .Version = VersionStyle::FiveNumbers,
     .Procedure = ProcedureRule::DfFlash,
     .ImageRevisionFromOne = true},
    {.Type = ChipType::Qvn962Series,
     .DisplayName = "QVN962/958 Series",
     .InquiryCode = "q962",
     .InfoCode = "962",
     .Refinement = IdentifyRefinement::LateRevision,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::VendorQueryOrDetectionFromRevision5,
     .ImageCode = "962",
     .Image = ImageRule::CodePrefix,
     .NvramBlock = true,
     .Version = VersionStyle::FiveNumbersToggled,
     .Procedure = ProcedureRule::ByModeFlag,
     .PrepareDfWrite = true,
     .ImageRevisionFromOne = true},
    {.Type = ChipType::Qvn958Series,
     .DisplayName = "QVN958 Series",
     .InquiryCode = "q958",
     .InfoCode = "958",
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::VendorQueryOrDetection,
     .ImageCode = "958",
     .Image = ImageRule::Always,
     .NvramBlock = true,
     .Version = VersionStyle::FiveNumbers,
     .Procedure = ProcedureRule::DfFlash},
    {.Type = ChipType::Qvk926Series,
     .DisplayName = "QVK926 Series",
     .InquiryCode = "q926",
     .InfoCode = "926",
     .ChipInfoCode = "q926A",
     .Refinement = IdentifyRefinement::ChipInfo,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::DetectionFromRevision3,
     .ImageCode = "926",
     .Image = ImageRule::CodePrefix,
     .LateHeader = true,
     .Procedure = ProcedureRule::SerialFlash},
    // No image file ever matches the 924: its firmware is only ever erased or backed up.
    {.Type = ChipType::Qvk924Series,
     .DisplayName = "QVK924 Series",
     .InquiryCode = "q924",
     .InfoCode = "924",
     .Group = ChipGroup::DiskKept,
     .ImageCode = "924",
     .Procedure = ProcedureRule::DiskFirmware},
    {.Type = ChipType::Qv40713ESeries,
     .DisplayName = "QV40713 Series",
     .ChipInfoCode = "q713E",
     .ChipInfoRevisionFrom = ChipInfoRevision::Count,
     .Group = ChipGroup::SerialFlash,
     .Flash = FlashProbe::Detection,
     .ImageCode = "713",
     .Image = ImageRule::CodePrefix,
     .ImageMatch = "713E",
     .LateHeader = true,
     .Procedure = ProcedureRule::SerialFlashOrDiskFirmware},
    {.Type = ChipType::Qv40716,
     .DisplayName = "QV40716",
     .ImageCode = "716",
     .Image = ImageRule::Always},
    {.Type = ChipType::Qv40718,
     .DisplayName = "QV40718",
     .ImageCode = "718",
     .Image = ImageRule::Always},
    {.Type = ChipType::Qv40713,
     .DisplayName = "QV40713",
     .ImageCode = "713",
     .Image = ImageRule::Always},
    {.Type = ChipType::Qv40714,
     .DisplayName = "QV40714",
     .ImageCode = "714",
     .Image = ImageRule::Always},
    {.Type = ChipType::Qv40712,
     .DisplayName = "QV40712",
     .Group = ChipGroup::ParallelFlash,
     .ImageCode = "712",
     .Image = ImageRule::NotSeriesCode,
     .Procedure = ProcedureRule::ParallelFlash},
}};

// The USB ids that make a bridge the QV40712 row when its firmware information carries them; the
// udev rule grants access to enclosures with these ids (packaging/60-q71xfwtool.rules).
inline constexpr std::uint16_t kQv40712UsbVendorId = 0x7A5E;
inline constexpr std::uint16_t kQv40712UsbProductId = 0x4712;

inline constexpr std::uint8_t RowNumber(ChipType type) {
  return static_cast<std::uint8_t>(type);
}

// A row number read from a file or handed over by a program: nothing when no row carries it, so
// the reader refuses the field instead of taking another chip.
inline constexpr std::optional<ChipType> ChipTypeOfNumber(long long number) {
  if (number < 0 || number >= kChipTypeCount) {
    return std::nullopt;
  }
  return static_cast<ChipType>(number);
}

// A row number from a bridge, a simulator preset or a test, made safe to index with: anything
// outside the table is the unknown chip.
inline constexpr ChipType ToChipType(int row) {
  return ChipTypeOfNumber(row).value_or(ChipType::Unknown);
}

// Even a value cast into the enum from outside the table reads the unknown chip's row.
inline constexpr const ChipTypeRow& ChipRow(ChipType type) {
  return kChipTypes[RowNumber(ToChipType(RowNumber(type)))];
}
inline constexpr const ChipTypeRow& ChipRow(int row) {
  return ChipRow(ToChipType(row));
}

inline constexpr std::string_view ChipTypeName(ChipType type) {
  return ChipRow(type).DisplayName;
}
inline constexpr std::string_view ChipTypeName(int row) {
  return ChipTypeName(ToChipType(row));
}

inline constexpr ChipGroup ChipGroupOf(ChipType type) {
  return ChipRow(type).Group;
}
inline constexpr ChipGroup ChipGroupOf(int row) {
  return ChipGroupOf(ToChipType(row));
}

// The text an image rule compares the file code with.
inline constexpr std::string_view ImageMatchCode(const ChipTypeRow& row) {
  return row.ImageMatch.empty() ? row.ImageCode : row.ImageMatch;
}

// What is wrong with `rows` as a chip-type table, one text per problem; empty when nothing is.
std::vector<std::string> CheckChipTypeTable(std::span<const ChipTypeRow> rows = kChipTypes);

}  // namespace q71x
