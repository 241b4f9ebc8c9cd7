// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/bulk_only.h"

#include <gtest/gtest.h>

#include <vector>

namespace q71x::gadget {
namespace {

std::vector<std::uint8_t> Wrapper(std::uint8_t flags, std::uint8_t cdbLength) {
  std::vector<std::uint8_t> bytes(kCbwLength, 0);
  const std::uint8_t head[] = {0x55, 0x53, 0x42, 0x43, 0x78,  0x56, 0x34,     0x12,
                               0x00, 0x80, 0x00, 0x00, flags, 0x00, cdbLength};
  std::copy(std::begin(head), std::end(head), bytes.begin());
  for (std::uint8_t i = 0; i < 16; ++i) {
    bytes[15 + i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  return bytes;
}

TEST(BulkOnlyWrapper, ParsesTagLengthDirectionAndOnlyTheNamedCdbBytes) {
  const auto cbw = ParseCommandBlockWrapper(Wrapper(0x80, 12));
  ASSERT_TRUE(cbw);
  EXPECT_EQ(cbw->Tag, 0x12345678u);
  EXPECT_EQ(cbw->DataTransferLength, 0x8000u);
  EXPECT_TRUE(cbw->DataIn);
  EXPECT_EQ(cbw->CdbLength, 12);
  EXPECT_EQ(cbw->Cdb[0], 0xA0);
  EXPECT_EQ(cbw->Cdb[11], 0xAB);
  EXPECT_EQ(cbw->Cdb[12], 0x00) << "bytes past the command block length stay zero";

  const auto out = ParseCommandBlockWrapper(Wrapper(0x00, 16));
  ASSERT_TRUE(out);
  EXPECT_FALSE(out->DataIn);
  EXPECT_EQ(out->Cdb[15], 0xAF);
}

TEST(BulkOnlyWrapper, RefusesWhatIsNotACommand) {
  auto badSignature = Wrapper(0x80, 12);
  badSignature[3] = 0x44;
  EXPECT_FALSE(ParseCommandBlockWrapper(badSignature));

  auto shortWrapper = Wrapper(0x80, 12);
  shortWrapper.pop_back();
  EXPECT_FALSE(ParseCommandBlockWrapper(shortWrapper));
  auto longWrapper = Wrapper(0x80, 12);
  longWrapper.push_back(0);
  EXPECT_FALSE(ParseCommandBlockWrapper(longWrapper));

  EXPECT_FALSE(ParseCommandBlockWrapper(Wrapper(0x80, 0)));
  EXPECT_FALSE(ParseCommandBlockWrapper(Wrapper(0x80, 17)));
}

TEST(BulkOnlyStatus, CarriesSignatureTagResidueAndStatusLittleEndian) {
  const auto csw = BuildCommandStatusWrapper(0x12345678, 0x00010203, CswStatus::Failed);
  const std::array<std::uint8_t, kCswLength> expected = {0x55, 0x53, 0x42, 0x53, 0x78, 0x56, 0x34,
                                                         0x12, 0x03, 0x02, 0x01, 0x00, 0x01};
  EXPECT_EQ(csw, expected);
}

}  // namespace
}  // namespace q71x::gadget
