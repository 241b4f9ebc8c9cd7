// Self-checks of the chip-code table against the chip-type table it parallels.

#include "src/image/chip_codes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace q71x {
namespace {

TEST(ChipCodes, EveryRowButUnknownIsThreeDigits) {
  EXPECT_TRUE(kChipCodes[0].empty());
  for (int type = 1; type < kChipTypeCount; ++type) {
    SCOPED_TRACE(type);
    ASSERT_EQ(3u, kChipCodes[type].size());
    for (char c : kChipCodes[type]) {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)));
    }
  }
}

TEST(ChipCodes, AgreeWithTheChipsOwnCodes) {
  for (int type = 1; type <= 13; ++type) {
    SCOPED_TRACE(type);
    // The 848 takes the 844's images.
    const std::string_view expected = type == 8 ? "844" : kChipTypes[type].InfoCode;
    EXPECT_EQ(expected, kChipCodes[type]);
  }
  // The 713E variant and the rows found by chip-id bits or USB ids carry their model's code.
  EXPECT_EQ(kChipTypes[14].ChipInfoCode.substr(1, 3), kChipCodes[14]);
  for (int type = 15; type <= 19; ++type) {
    SCOPED_TRACE(type);
    EXPECT_EQ(kChipTypes[type].DisplayName.substr(4), kChipCodes[type]);
  }
}

TEST(ChipCodes, LookupAndTypeFacts) {
  EXPECT_EQ("926", ChipCodeFor(12));
  EXPECT_TRUE(ChipCodeFor(-1).empty());
  EXPECT_TRUE(ChipCodeFor(kChipTypeCount).empty());
  int nvramTypes = 0;
  for (int type = -1; type <= kChipTypeCount; ++type) {
    nvramTypes += IsNvramBlockType(type) ? 1 : 0;
    EXPECT_EQ(type == 12 || type == 14, HasLateHeader(type));
  }
  EXPECT_EQ(5, nvramTypes);
  EXPECT_TRUE(IsNvramBlockType(6) && IsNvramBlockType(11));
  EXPECT_EQ(8u, kType7Revision1Signature.size());
  EXPECT_EQ(8u, kType7Revision2Signature.size());
}

}  // namespace
}  // namespace q71x
