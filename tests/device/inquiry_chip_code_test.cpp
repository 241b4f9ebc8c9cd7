// SPDX-License-Identifier: GPL-2.0-or-later
// The INQUIRY chip-code match decides, in the udev probe, whose disk the seat's user may send
// vendor commands to: a plain disk taken for a bridge would be handed over whole.

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "src/device/inquiry_chip_code.h"

namespace q71x {
namespace {

// A standard INQUIRY reply of `length` bytes: a direct-access device, its vendor and product
// texts, and `code` from byte 36 on.
std::vector<std::uint8_t> InquiryReply(std::size_t length, std::string_view code) {
  std::vector<std::uint8_t> reply(length, ' ');
  reply[0] = 0x00;
  reply[4] = static_cast<std::uint8_t>(length - 5);
  for (std::size_t i = 0; i < code.size() && 36 + i < length; ++i) {
    reply[36 + i] = static_cast<std::uint8_t>(code[i]);
  }
  return reply;
}

TEST(InquiryChipCode, NamesTheBridgeWhoseCodeStandsInBytes36To39) {
  const ChipTypeRow* row = ChipRowOfInquiry(InquiryReply(40, "q714"));
  ASSERT_NE(nullptr, row);
  EXPECT_EQ(ChipType::Qv40714Series, row->Type);
  // Longer replies carry the code at the same place.
  row = ChipRowOfInquiry(InquiryReply(96, "q926"));
  ASSERT_NE(nullptr, row);
  EXPECT_EQ(ChipType::Qvk926Series, row->Type);
}

TEST(InquiryChipCode, APlainDiskOrAShortReplyIsNoBridge) {
  // What the kernel keeps of every device: the 36 standard bytes.
  EXPECT_EQ(nullptr, ChipRowOfInquiry(InquiryReply(36, "")));
  // A disk with its own vendor-specific bytes, one close to a code, and zeros.
  EXPECT_EQ(nullptr, ChipRowOfInquiry(InquiryReply(40, "1.03")));
  EXPECT_EQ(nullptr, ChipRowOfInquiry(InquiryReply(40, "Q714")));
  EXPECT_EQ(nullptr, ChipRowOfInquiry(InquiryReply(40, std::string_view("\0\0\0\0", 4))));
  // A bridge's code cut short by the transfer.
  EXPECT_EQ(nullptr, ChipRowOfInquiry(InquiryReply(39, "q714")));
  EXPECT_EQ(nullptr, ChipRowOfInquiry({}));
}

}  // namespace
}  // namespace q71x
