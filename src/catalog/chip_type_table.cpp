// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/catalog/chip_type_table.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace q71x {
namespace {

constexpr std::size_t kDisplayNameField = 20;  // zero-padded, so one character less fits
constexpr std::size_t kImageCodeLength = 3;

bool IsThreeDigits(std::string_view code) {
  return code.size() == kImageCodeLength && std::all_of(code.begin(), code.end(), [](char c) {
           return std::isdigit(static_cast<unsigned char>(c)) != 0;
         });
}

bool ComparesACode(ImageRule rule) {
  return rule == ImageRule::CodeWithRevision ||
         rule == ImageRule::Revision1MarkOrCodeWithRevision || rule == ImageRule::CodePrefix;
}

bool ComparesRevision(ImageRule rule) {
  return rule == ImageRule::CodeWithRevision ||
         rule == ImageRule::Revision1MarkOrCodeWithRevision || rule == ImageRule::RevisionByte;
}

bool IsDfProcedure(ProcedureRule rule) {
  return rule == ProcedureRule::DfFlash || rule == ProcedureRule::ByModeFlag ||
         rule == ProcedureRule::Df2FlashOn1394OrSerialFlash;
}

// The procedures that can serve each kind of firmware memory.
bool ProcedureFitsGroup(ProcedureRule rule, ChipGroup group) {
  switch (rule) {
    case ProcedureRule::None:
      return group == ChipGroup::NotSupported;
    case ProcedureRule::SerialFlash:
    case ProcedureRule::SerialFlashOrDiskFirmware:
    case ProcedureRule::FlashWithNvram:
    case ProcedureRule::Df2FlashOn1394OrSerialFlash:
    case ProcedureRule::DfFlash:
    case ProcedureRule::ByModeFlag:
      return group == ChipGroup::SerialFlash;
    case ProcedureRule::ParallelFlash:
      return group == ChipGroup::ParallelFlash;
    case ProcedureRule::DiskFirmware:
    case ProcedureRule::DiskFirmwareFromLevel:
      return group == ChipGroup::DiskKept;
  }
  return false;
}

class TableCheck {
 public:
  void Row(std::size_t index, const ChipTypeRow& row) {
    const std::string name = "row " + std::to_string(index);
    if (RowNumber(row.Type) != index) {
      Problem(name + ": out of row-number order (carries " + std::to_string(RowNumber(row.Type)) +
              ")");
    }
    if (row.DisplayName.empty() || row.DisplayName.size() >= kDisplayNameField) {
      Problem(name + ": display name empty or longer than its 20-byte field");
    }
    Codes(name, row);
    Image(name, row);
    Memory(name, row);
    Flags(name, row);
  }

  std::vector<std::string> Problems() { return std::move(problems_); }

 private:
  void Problem(std::string text) { problems_.push_back(std::move(text)); }

  // Identification compares every code of the table and takes the first match; the codes must
  // name one row each, or the order of the rows would decide which chip a bridge is.
  void Codes(const std::string& name, const ChipTypeRow& row) {
    Unique(name, "INQUIRY", row.InquiryCode, inquiry_);
    Unique(name, "firmware-info", row.InfoCode, info_);
    if (!row.InquiryCode.empty() && row.InquiryCode.substr(1) != row.InfoCode) {
      Problem(name + ": INQUIRY code is not \"q\" and the firmware-info code");
    }
    if (row.ChipInfoCode.empty()) {
      return;
    }
    for (const std::string_view other : chipInfo_) {
      if (other.starts_with(row.ChipInfoCode) || row.ChipInfoCode.starts_with(other)) {
        Problem(name + ": chip-info code " + std::string(row.ChipInfoCode) +
                " overlaps another row's");
      }
    }
    chipInfo_.push_back(row.ChipInfoCode);
  }

  void Unique(const std::string& name, const char* what, std::string_view code,
              std::set<std::string_view>& seen) {
    if (!code.empty() && !seen.insert(code).second) {
      Problem(name + ": " + what + " code " + std::string(code) + " used by another row");
    }
  }

  void Image(const std::string& name, const ChipTypeRow& row) {
    if (!row.ImageCode.empty() && !IsThreeDigits(row.ImageCode)) {
      Problem(name + ": image code is not three digits");
    }
    if (ComparesACode(row.Image) && row.ImageCode.empty()) {
      Problem(name + ": image rule compares a code the row does not have");
    }
    if (!row.ImageMatch.empty() &&
        (!ComparesACode(row.Image) || !row.ImageMatch.starts_with(row.ImageCode))) {
      Problem(name + ": image match text is not an extension of the image code");
    }
    if (row.NvramBlock && row.ImageCode.empty()) {
      Problem(name + ": NVRAM-block images are found by an image code the row does not have");
    }
    if (row.NvramBlock && row.LateHeader) {
      Problem(name + ": a header cannot stand both behind an NVRAM block and at 16384");
    }
  }

  void Memory(const std::string& name, const ChipTypeRow& row) {
    const bool serial = row.Group == ChipGroup::SerialFlash;
    if (row.NvramBlock && !serial) {
      Problem(name + ": NVRAM block on a chip without a serial flash");
    }
    if ((row.Flash != FlashProbe::None) != serial) {
      Problem(name + ": a flash probe without a serial flash, or a serial flash without one");
    }
    if ((row.Procedure == ProcedureRule::None) != (row.Group == ChipGroup::NotSupported)) {
      Problem(name + ": supported without a procedure, or a procedure for an unsupported chip");
    } else if (!ProcedureFitsGroup(row.Procedure, row.Group)) {
      Problem(name + ": procedure does not serve the memory that keeps the firmware");
    }
  }

  // The flags name what a few rows do differently; each only means something where the row's
  // memory and rules give it a place.
  void Flags(const std::string& name, const ChipTypeRow& row) {
    if (row.PrepareDfWrite && !IsDfProcedure(row.Procedure)) {
      Problem(name + ": DF write preparation on a chip no DF procedure serves");
    }
    if (row.EraseOnlyOffersNvram && !row.NvramBlock) {
      Problem(name + ": erase-only offers an NVRAM area the chip's images do not have");
    }
    if (row.ChoosesFirmwareSize && row.Group != ChipGroup::SerialFlash) {
      Problem(name + ": a firmware-size choice on a chip without a serial flash");
    }
    if (row.ImageRevisionFromOne && ComparesRevision(row.Image)) {
      Problem(name + ": revision counted from one under a rule that compares it from zero");
    }
  }

  std::set<std::string_view> inquiry_;
  std::set<std::string_view> info_;
  std::vector<std::string_view> chipInfo_;
  std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> CheckChipTypeTable(std::span<const ChipTypeRow> rows) {
  TableCheck check;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    check.Row(i, rows[i]);
  }
  std::vector<std::string> problems = check.Problems();
  if (rows.size() != static_cast<std::size_t>(kChipTypeCount)) {
    problems.push_back("the table has " + std::to_string(rows.size()) + " rows, not " +
                       std::to_string(kChipTypeCount));
  }
  if (!rows.empty() && (!rows[0].ImageCode.empty() || rows[0].Procedure != ProcedureRule::None)) {
    problems.push_back("row 0 is the unknown chip: no image code, no procedure");
  }
  return problems;
}

}  // namespace q71x
