#include "src/image/firmware_match.h"

#include <fstream>
#include <string_view>

#include "src/device/chip_tables.h"
#include "src/device/platform/user_dialogs.h"
#include "src/image/chip_codes.h"
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
bool ReadHeaderFor(std::ifstream& file, int type, HeaderReading& reading) {
  if (HasLateHeader(type)) {
    reading.Header = ReadImageHeader(file, kLateHeaderOffset);
    if (!reading.Header.HasShortSignature()) {
      return false;
    }
    reading.Code = std::string(reading.Header.FileCode());
    return true;
  }
  reading.Header = ReadImageHeader(file, kPlainHeaderOffset);
  reading.Code = std::string(reading.Header.FileCode());
  if (!IsNvramBlockType(type)) {
    return true;
  }
  const std::string_view tableCode = ChipCodeFor(type);
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

bool RuleHolds(int type, int revision, const HeaderReading& reading) {
  const std::string_view code = reading.Code;
  switch (type) {
    case 1:
      return revision == 1 ? FileCodeEquals(code, kType1Revision1Code, 4)
                           : FileCodeEquals(code, CodeWithDigit("714", revision - 1), 4);
    case 2:
    case 19:
      return !FileCodeEquals(code, "71", 2);
    case 3:
    case 11:
    case 15:
    case 16:
    case 17:
    case 18:
      return true;
    case 4:
      return FileCodeEquals(code, CodeWithDigit("713", revision - 1), 4);
    case 5:
      return StartsWithCode(code, "709");
    case 6: {
      // A byte the file does not have names no revision.
      const auto revisionByte = reading.Header.At(kRevisionByteOffset);
      if (!revisionByte) {
        return false;
      }
      const int value = *revisionByte == 0 ? 0 : *revisionByte - 0x30;
      return value == revision - 1;
    }
    case 7: {
      const auto start = reading.Header.Prefix(kType7Revision1Signature.size());
      return (revision == 1 && start == kType7Revision1Signature) ||
             (revision == 2 && start == kType7Revision2Signature);
    }
    case 8:
    case 9:
      return StartsWithCode(code, "844");
    case 10:
      return StartsWithCode(code, "962");
    case 12:
      return StartsWithCode(code, "926");
    case 14:
      return StartsWithCode(code, "713E");
    default:  // 0, 13 and anything outside the table
      return false;
  }
}

}  // namespace

int FirmwareMatchesChip(const std::string& path, std::uint16_t chipIdentity) {
  const int type = IdentityType(chipIdentity);
  const int revision = IdentityRevision(chipIdentity);

  std::ifstream file;
  switch (OpenImageStream(path, LargestImageFor(ChipGroupOf(type)), file)) {
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
  const bool searchPassed = ReadHeaderFor(file, type, reading);
  file.close();
  if (!searchPassed) {
    return 0;
  }
  return RuleHolds(type, revision, reading) ? 1 : 0;
}

}  // namespace q71x
