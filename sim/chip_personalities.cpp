// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/chip_personalities.h"

#include <algorithm>
#include <cstring>

namespace q71x::sim {
namespace {

// What each row answers on each route. Null: that row has no such code.
struct ChipRow {
  const char* Product;       // INQUIRY product text
  const char* InquiryCode;   // bytes 36-39
  const char* InfoDigits;    // firmware information bytes 8-10
  const char* ChipInfoCode;  // FF 04 30 bytes 0-4 (four characters for the 842)
  int ChipIdBits;            // -1: none
};

constexpr ChipRow kRows[20] = {
    {"Bridge Disk", nullptr, nullptr, nullptr, -1},
    {"QV40714 Disk", "q714", "714", "q714C", -1},
    {"QV40712 Disk", "q712", "712", nullptr, -1},
    {"QV40716 Disk", "q716", "716", nullptr, -1},
    {"QV40713 Disk", "q713", "713", "q713C", -1},
    {"QV40709 Disk", "q709", "709", nullptr, -1},
    {"QVK842 Disk", "q842", "842", "q842", -1},
    {"QVK846 Disk", "q846", "846", nullptr, -1},
    {"QVK848 Disk", "q848", "848", nullptr, -1},
    {"QVK844 Disk", "q844", "844", nullptr, -1},
    {"QVN962 Disk", "q962", "962", nullptr, -1},
    {"QVN958 Disk", "q958", "958", nullptr, -1},
    {"QVK926 CD-ROM", "q926", "926", "q926A", -1},
    {"QVK924 Disk", "q924", "924", nullptr, -1},
    {"QV40713E Disk", nullptr, nullptr, "q713E", -1},
    {"QV40716 Disk", nullptr, nullptr, nullptr, 0},
    {"QV40718 Disk", nullptr, nullptr, nullptr, 1},
    {"QV40713 Disk", nullptr, nullptr, nullptr, 2},
    {"QV40714 Disk", nullptr, nullptr, nullptr, 3},
    {"QV40712 Disk", nullptr, nullptr, nullptr, -1},
};

constexpr std::uint16_t kOurVendorId = 0x1D6B;  // any id but the row-19 pair
constexpr std::uint16_t kOurProductId = 0x0714;
constexpr std::uint16_t kRow19VendorId = 0x7A5E;
constexpr std::uint16_t kRow19ProductId = 0x4712;
constexpr int kLateRevisionRow = 10;
constexpr int kLateRevision = 5;
constexpr std::uint16_t kModeFlagAddress = 0x505E;
constexpr std::uint16_t kRevisionByteAddress = 0xFDB0;
constexpr std::uint16_t kDiskSignatureAddress = 0xC000;
constexpr std::size_t kConfigBlockLength = 18;

void PutText(std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t width,
             const char* text) {
  const std::size_t length = text == nullptr ? 0 : std::strlen(text);
  for (std::size_t i = 0; i < width; ++i) {
    bytes[at + i] = i < length ? static_cast<std::uint8_t>(text[i]) : ' ';
  }
}

std::uint8_t RevisionDigit(int revision) {
  return static_cast<std::uint8_t>('0' + std::clamp(revision, 0, 9));
}

// The byte 5 that makes identification compute `revision` for this chip-info code.
std::uint8_t ChipInfoRevisionByte(const char* code, int revision) {
  if (std::strcmp(code, "q713E") == 0) {
    return static_cast<std::uint8_t>(std::max(revision, 1) - 1);  // revision = byte + 1
  }
  if (std::strcmp(code, "q842") == 0 && revision <= 1) {
    return 0x00;  // a zero byte reads as revision 1
  }
  return static_cast<std::uint8_t>(0x2F + std::max(revision, 1));  // revision = byte - 0x2F
}

std::vector<std::uint8_t> MakeConfigBlock(const PersonalityOptions& options) {
  std::vector<std::uint8_t> block(kConfigBlockLength, 0);
  block[8] = options.ConfigLevel;
  block[16] = options.DiskFirmwareFlag ? 0x01 : 0x00;
  block[17] = options.DiskAreaShift ? 0x01 : 0x00;
  return block;
}

std::vector<MemoryPatch> MakePowerOnMemory(int chipType, const PersonalityOptions& options) {
  std::vector<MemoryPatch> patches;
  patches.push_back(
      {kModeFlagAddress, {0x00, 0x00, static_cast<std::uint8_t>(options.ModeFlag ? 1 : 0), 0x00}});
  const bool late = chipType == kLateRevisionRow && options.Revision >= kLateRevision;
  patches.push_back(
      {kRevisionByteAddress, {0x00, static_cast<std::uint8_t>(late ? 0xB4 : 0xA2), 0x00, 0x00}});
  if (options.DiskFirmwareSignature) {
    patches.push_back({kDiskSignatureAddress, {0x55, 0xAA, 0x00, 0x00}});
  }
  return patches;
}

// What every vendor-capable bridge of ours answers; the route then decides which identifying
// bytes are filled in.
BridgePersonality BasePersonality(int chipType, const PersonalityOptions& options) {
  BridgePersonality personality;
  personality.InquiryReply =
      MakeInquiryReply(kRows[chipType].Product, nullptr, options.PeripheralType);
  personality.ChipIdReply = std::array<std::uint8_t, 2>{0x00, 0x00};
  personality.ConfigBlock = MakeConfigBlock(options);
  personality.FlashVendorByte = options.FlashVendorByte;
  personality.PowerOnMemory = MakePowerOnMemory(chipType, options);
  return personality;
}

}  // namespace

std::vector<std::uint8_t> MakeInquiryReply(const char* productText, const char* chipCode,
                                           std::uint8_t peripheralType) {
  std::vector<std::uint8_t> reply(44, 0);
  reply[0] = peripheralType;
  reply[1] = 0x80;  // removable medium
  reply[2] = 0x02;
  reply[3] = 0x02;
  reply[4] = static_cast<std::uint8_t>(reply.size() - 5);
  PutText(reply, 8, 8, "QVTECH");
  PutText(reply, 16, 16, productText);
  PutText(reply, 32, 4, "0100");
  PutText(reply, 36, 4, chipCode);
  PutText(reply, 40, 4, nullptr);
  return reply;
}

std::vector<std::uint8_t> MakeFwInfoReply(std::uint16_t vendorId, std::uint16_t productId,
                                          const char* codeDigits, char revisionDigit,
                                          const PersonalityOptions& options) {
  std::vector<std::uint8_t> reply(16, 0);
  reply[0] = 0xF4;
  reply[1] = 0xE7;
  reply[2] = static_cast<std::uint8_t>(vendorId >> 8);
  reply[3] = static_cast<std::uint8_t>(vendorId);
  reply[4] = static_cast<std::uint8_t>(productId >> 8);
  reply[5] = static_cast<std::uint8_t>(productId);
  reply[6] = options.FwVersion[0];
  reply[7] = options.FwVersion[1];
  PutText(reply, 8, 3, codeDigits);
  reply[11] = static_cast<std::uint8_t>(revisionDigit);
  std::copy(options.FwVersionLong.begin(), options.FwVersionLong.end(), reply.begin() + 12);
  reply.resize(options.FwInfoLength == 12 ? 12 : 16);
  return reply;
}

std::vector<std::uint8_t> MakeChipInfoReply(const char* code, std::uint8_t revisionByte) {
  std::vector<std::uint8_t> reply(8, 0);
  const std::size_t length = std::min<std::size_t>(std::strlen(code), 5);
  std::copy_n(code, length, reply.begin());
  if (length < 5) {
    reply[length] = ' ';
  }
  reply[5] = revisionByte;
  return reply;
}

IdentifyRoute NamedRoute(int chipType) {
  if (chipType >= 1 && chipType <= 13) {
    return IdentifyRoute::Inquiry;
  }
  if (chipType == 14) {
    return IdentifyRoute::ChipInfo;
  }
  if (chipType >= 15 && chipType <= 18) {
    return IdentifyRoute::ChipIdBits;
  }
  if (chipType == 19) {
    return IdentifyRoute::UsbIds;
  }
  return IdentifyRoute::None;
}

std::optional<BridgePersonality> MakeChipPersonality(int chipType, IdentifyRoute route,
                                                     const PersonalityOptions& options) {
  if (chipType < 0 || chipType >= static_cast<int>(std::size(kRows))) {
    return std::nullopt;
  }
  const ChipRow& row = kRows[chipType];
  BridgePersonality personality = BasePersonality(chipType, options);
  const char revisionDigit = static_cast<char>(RevisionDigit(options.Revision));
  switch (route) {
    case IdentifyRoute::None:
      if (chipType != 0) {
        return std::nullopt;
      }
      break;
    case IdentifyRoute::Inquiry:
      if (row.InquiryCode == nullptr) {
        return std::nullopt;
      }
      personality.InquiryReply =
          MakeInquiryReply(row.Product, row.InquiryCode, options.PeripheralType);
      // The same bridge also answers the later questions identification asks of its row.
      personality.FwInfoReply =
          MakeFwInfoReply(kOurVendorId, kOurProductId, row.InfoDigits, revisionDigit, options);
      break;
    case IdentifyRoute::FwInfo:
      if (row.InfoDigits == nullptr) {
        return std::nullopt;
      }
      personality.FwInfoReply =
          MakeFwInfoReply(kOurVendorId, kOurProductId, row.InfoDigits, revisionDigit, options);
      break;
    case IdentifyRoute::ChipInfo:
      if (row.ChipInfoCode == nullptr) {
        return std::nullopt;
      }
      // Nothing earlier names the chip: firmware information is refused, so identification
      // reaches the chip-info question with type 0.
      break;
    case IdentifyRoute::ChipIdBits:
      if (row.ChipIdBits < 0) {
        return std::nullopt;
      }
      personality.ChipIdReply =
          std::array<std::uint8_t, 2>{static_cast<std::uint8_t>(row.ChipIdBits << 5), 0x00};
      // Answered, but not with this family's signature.
      personality.FwInfoReply = std::vector<std::uint8_t>(16, 0x00);
      break;
    case IdentifyRoute::UsbIds:
      if (chipType != 19) {
        return std::nullopt;
      }
      // A known code in bytes 8-10 as well: the USB ids must win over it.
      personality.FwInfoReply =
          MakeFwInfoReply(kRow19VendorId, kRow19ProductId, "712", revisionDigit, options);
      break;
  }
  if (row.ChipInfoCode != nullptr) {
    personality.ChipInfoReply = MakeChipInfoReply(
        row.ChipInfoCode, ChipInfoRevisionByte(row.ChipInfoCode, options.Revision));
  }
  if (options.FwInfoTransferred) {
    personality.FwInfoTransferred = options.FwInfoTransferred;
  }
  personality.Label = std::string(row.Product);
  return personality;
}

BridgePersonality PlainDiskPersonality() {
  BridgePersonality personality;
  personality.Label = "Plain USB disk";
  personality.AnswersVendorCommands = false;
  personality.AnswersRawFlashChannel = false;
  personality.InquiryReply = MakeInquiryReply("Flash Disk", nullptr, 0x00);
  PutText(personality.InquiryReply, 8, 8, "Generic");
  return personality;
}

}  // namespace q71x::sim
