// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/device/ffs_descriptors.h"

#include <gtest/gtest.h>

namespace q71x::gadget {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& blob, std::size_t at) {
  return blob[at] | (blob[at + 1] << 8) | (blob[at + 2] << 16) |
         (static_cast<std::uint32_t>(blob[at + 3]) << 24);
}

TEST(FfsDescriptors, OneMassStorageInterfaceWithTwoBulkEndpointsPerSpeed) {
  const auto blob = BuildFfsDescriptors();
  ASSERT_EQ(blob.size(), 20u + 2 * (9 + 7 + 7));
  EXPECT_EQ(Le32(blob, 0), 3u) << "V2 magic";
  EXPECT_EQ(Le32(blob, 4), blob.size());
  EXPECT_EQ(Le32(blob, 8), 3u) << "full- and high-speed sets";
  EXPECT_EQ(Le32(blob, 12), 3u);
  EXPECT_EQ(Le32(blob, 16), 3u);

  const std::uint16_t packets[] = {64, 512};
  for (int speed = 0; speed < 2; ++speed) {
    const std::size_t at = 20 + static_cast<std::size_t>(speed) * 23;
    SCOPED_TRACE(speed);
    EXPECT_EQ(blob[at + 1], 4) << "interface descriptor";
    EXPECT_EQ(blob[at + 4], 2) << "endpoints";
    EXPECT_EQ(blob[at + 5], 0x08);
    EXPECT_EQ(blob[at + 6], 0x06);
    EXPECT_EQ(blob[at + 7], 0x50);
    const std::size_t in = at + 9;
    const std::size_t out = at + 16;
    EXPECT_EQ(blob[in + 2], 0x81) << "ep1 is bulk-in";
    EXPECT_EQ(blob[out + 2], 0x02) << "ep2 is bulk-out";
    for (const std::size_t ep : {in, out}) {
      EXPECT_EQ(blob[ep + 1], 5);
      EXPECT_EQ(blob[ep + 3], 2) << "bulk";
      EXPECT_EQ(blob[ep + 4] | (blob[ep + 5] << 8), packets[speed]);
    }
  }
}

TEST(FfsDescriptors, StringsNameTheInterfaceInUsEnglish) {
  const auto blob = BuildFfsStrings("Bridge");
  ASSERT_EQ(blob.size(), 16u + 2 + 7);
  EXPECT_EQ(Le32(blob, 0), 2u);
  EXPECT_EQ(Le32(blob, 4), blob.size());
  EXPECT_EQ(Le32(blob, 8), 1u);
  EXPECT_EQ(Le32(blob, 12), 1u);
  EXPECT_EQ(blob[16] | (blob[17] << 8), 0x0409);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&blob[18])), "Bridge");
}

}  // namespace
}  // namespace q71x::gadget
