// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/firmware_match.h"

#include <fstream>
#include <string_view>

#include "src/catalog/chip_codes.h"
#include "src/catalog/chip_tables.h"
#include "src/catalog/chip_type_table.h"
#include "src/host/user_dialogs.h"
#include "src/image/image_file.h"
#include "src/image/image_texts.h"

namespace q71x {
namespace {

// What the per-type rule looks at: the last header read and the file code it settled on (which
// for an NVRAM-block type without any signature is still the one at offset 0).
struct HeaderReading {
  ImageHeader Header;
  std::string Code;
};

char DigitFor(int k) {
  return static_cast<char>('0' + k);
}

std::string CodeWithDigit(std::string_view prefix, int k) {
  std::string text(prefix);
  text.push_back(DigitFor(k));
  return text;
}

bool StartsWithCode(std::string_view code, std::string_view expected) {
  return FileCodeEquals(code, expected, expected.size());
}

// The header search: returns false when the file is already known not to belong to the chip.
bool ReadHeaderFor(std::ifstream& file, const ChipTypeRow& row, HeaderReading& reading) {
  if (row.LateHeader) {
    reading.Header = ReadImageHeader(file, kLateHeaderOffset);
    if (!reading.Header.HasShortSignature()) {
      return false;
    }
    reading.Code = std::string(reading.Header.FileCode());
    return true;
  }
  reading.Header = ReadImageHeader(file, kPlainHeaderOffset);
  reading.Code = std::string(reading.Header.FileCode());
  if (!row.NvramBlock) {
    return true;
  }
  const std::string_view tableCode = row.ImageCode;
  if (reading.Header.HasSignature()) {
    return StartsWithCode(reading.Code, tableCode);
  }
  reading.Header = ReadImageHeader(file, kNvramHeaderOffset);
  if (reading.Header.HasSignature()) {
    reading.Code = std::string(reading.Header.FileCode());
    return StartsWithCode(reading.Code, tableCode);
  }
  return true;
}

bool RuleHolds(const ChipTypeRow& row, int revision, const HeaderReading& reading) {
  const std::string_view code = reading.Code;
  switch (row.Image) {
    case ImageRule::Never:
      return false;
    case ImageRule::Always:
      return true;
    case ImageRule::NotSeriesCode:
      return !StartsWithCode(code, kSeriesCodePrefix);
    case ImageRule::Revision1MarkOrCodeWithRevision:
      if (revision == 1) {
        return FileCodeEquals(code, kType1Revision1Code, 4);
      }
      [[fallthrough]];
    case ImageRule::CodeWithRevision:
      return FileCodeEquals(code, CodeWithDigit(ImageMatchCode(row), revision - 1), 4);
    case ImageRule::CodePrefix:
      return StartsWithCode(code, ImageMatchCode(row));
    case ImageRule::RevisionByte: {
      // A byte the file does not have names no revision.
      const auto revisionByte = reading.Header.At(kRevisionByteOffset);
      if (!revisionByte) {
        return false;
      }
      const int value = *revisionByte == 0 ? 0 : *revisionByte - 0x30;
      return value == revision - 1;
    }
    case ImageRule::SignatureByRevision: {
      const auto start = reading.Header.Prefix(kType7Revision1Signature.size());
      return (revision == 1 && start == kType7Revision1Signature) ||
             (revision == 2 && start == kType7Revision2Signature);
    }
  }
  return false;
}

}  // namespace

int FirmwareMatchesChip(const std::string& path, std::uint16_t chipIdentity) {
  // A type outside the table is the unknown chip, which no file matches.
  const ChipTypeRow& row = ChipRow(IdentityChipType(chipIdentity));
  const int revision = IdentityRevision(chipIdentity);

  std::ifstream file;
  switch (OpenImageStream(path, LargestImageFor(row.Group), file)) {
    case ImageFileCheck::Usable:
      break;
    case ImageFileCheck::TooLarge:
      // Readable, but no firmware of this chip: the chip check's mismatch warning says so.
      return 0;
    case ImageFileCheck::Unreadable:
    case ImageFileCheck::NotPlainFile:
      ShowMessageBox(std::string(kOpenFirmwareFileErrorText), std::string(kErrorCaption));
      return 0;
  }
  HeaderReading reading;
  const bool searchPassed = ReadHeaderFor(file, row, reading);
  file.close();
  if (!searchPassed) {
    return 0;
  }
  return RuleHolds(row, revision, reading) ? 1 : 0;
}

}  // namespace q71x
