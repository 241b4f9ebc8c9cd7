// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/inquiry_chip_code.h"

#include <algorithm>

namespace q71x {

const ChipTypeRow* ChipRowOfInquiry(std::span<const std::uint8_t> reply) {
  if (reply.size() < kInquiryReplyWithChipCode) {
    return nullptr;
  }
  const auto code =
      reply.subspan(kInquiryChipCodeOffset, kInquiryReplyWithChipCode - kInquiryChipCodeOffset);
  // The table's self-check keeps each code to one row.
  for (const ChipTypeRow& row : kChipTypes) {
    if (row.InquiryCode.size() == code.size() &&
        std::equal(
            code.begin(), code.end(), row.InquiryCode.begin(),
            [](std::uint8_t byte, char c) { return byte == static_cast<std::uint8_t>(c); })) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace q71x
