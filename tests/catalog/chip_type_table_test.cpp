// SPDX-License-Identifier: GPL-2.0-or-later
// The chip-type table checked by code: the table passes its self-check, the self-check finds
// each kind of mistake a new row could bring, and the image codes are the chips' own.

#include "src/catalog/chip_type_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace q71x {
namespace {

using Table = std::array<ChipTypeRow, kChipTypeCount>;

TEST(ChipTypeTable, PassesItsSelfCheck) {
  EXPECT_EQ(std::vector<std::string>{}, CheckChipTypeTable());
}

struct Breakage {
  const char* What;
  std::function<void(Table&)> Apply;
  const char* Row;  // the row the self-check must name
};

TEST(ChipTypeTable, SelfCheckFindsEachKindOfMistake) {
  const std::vector<Breakage> breakages = {
      {"rows out of order", [](Table& t) { std::swap(t[8], t[9]); }, "row 8:"},
      {"no display name", [](Table& t) { t[3].DisplayName = ""; }, "row 3:"},
      {"a name longer than its field", [](Table& t) { t[3].DisplayName = "QV40716 Series rev B"; },
       "row 3:"},
      {"an INQUIRY code used twice",
       [](Table& t) {
         t[11].InquiryCode = "q962";
         t[11].InfoCode = "962";
       },
       "row 11:"},
      {"an INQUIRY code that is not the info code", [](Table& t) { t[5].InfoCode = "708"; },
       "row 5:"},
      {"a chip-info code that is a prefix of another",
       [](Table& t) { t[12].ChipInfoCode = "q714"; }, "row 12:"},
      {"an image code of two digits", [](Table& t) { t[9].ImageCode = "84"; }, "row 9:"},
      {"a code rule without a code",
       [](Table& t) {
         t[13].Image = ImageRule::CodePrefix;
         t[13].ImageCode = "";
       },
       "row 13:"},
      {"a match text that does not extend the code", [](Table& t) { t[14].ImageMatch = "714E"; },
       "row 14:"},
      {"an NVRAM block on a disk-kept chip", [](Table& t) { t[5].NvramBlock = true; }, "row 5:"},
      {"an NVRAM block with a late header", [](Table& t) { t[12].NvramBlock = true; }, "row 12:"},
      {"a flash probe on a parallel-flash chip",
       [](Table& t) { t[2].Flash = FlashProbe::PartProbes; }, "row 2:"},
      {"a serial-flash chip without a flash probe", [](Table& t) { t[3].Flash = FlashProbe::None; },
       "row 3:"},
      {"a supported chip without a procedure",
       [](Table& t) { t[13].Procedure = ProcedureRule::None; }, "row 13:"},
      {"a procedure for an unsupported chip",
       [](Table& t) { t[15].Procedure = ProcedureRule::SerialFlash; }, "row 15:"},
      {"a procedure for another kind of memory",
       [](Table& t) { t[1].Procedure = ProcedureRule::ParallelFlash; }, "row 1:"},
  };
  for (const Breakage& breakage : breakages) {
    SCOPED_TRACE(breakage.What);
    Table broken = kChipTypes;
    breakage.Apply(broken);
    const std::vector<std::string> problems = CheckChipTypeTable(broken);
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
      return p.starts_with(breakage.Row);
    })) << ::testing::PrintToString(problems);
  }
  EXPECT_FALSE(CheckChipTypeTable(std::span(kChipTypes).first(kChipTypeCount - 1)).empty());
}

TEST(ChipTypeTable, ImageCodesAreTheChipsOwnCodes) {
  for (const ChipTypeRow& row :
       std::span(kChipTypes).subspan(1, RowNumber(ChipType::Qvk924Series))) {
    SCOPED_TRACE(row.DisplayName);
    // The 848 takes the 844's images.
    const std::string_view expected = row.Type == ChipType::Qvk848Series
                                          ? ChipRow(ChipType::Qvk844Series).InfoCode
                                          : row.InfoCode;
    EXPECT_EQ(expected, row.ImageCode);
  }
  // The 713E variant and the rows found by chip-id bits or USB ids carry their model's code.
  const ChipTypeRow& variant = ChipRow(ChipType::Qv40713ESeries);
  EXPECT_EQ(variant.ChipInfoCode.substr(1, 3), variant.ImageCode);
  for (const ChipTypeRow& row : std::span(kChipTypes).subspan(RowNumber(ChipType::Qv40716), 5)) {
    SCOPED_TRACE(row.DisplayName);
    EXPECT_EQ(row.DisplayName.substr(4), row.ImageCode);
  }
}

TEST(ChipTypeTable, RowsOutsideTheTableAreTheUnknownChip) {
  for (const int row : {-1, kChipTypeCount, 255}) {
    EXPECT_EQ(ChipType::Unknown, ToChipType(row));
    EXPECT_EQ("Unknown Chip", ChipTypeName(row));
    EXPECT_EQ(ChipGroup::NotSupported, ChipGroupOf(row));
    EXPECT_TRUE(ChipRow(row).ImageCode.empty());
  }
  EXPECT_EQ("QV40712", ChipTypeName(19));
  EXPECT_EQ("713E", ImageMatchCode(ChipRow(ChipType::Qv40713ESeries)));
  EXPECT_EQ("926", ImageMatchCode(ChipRow(ChipType::Qvk926Series)));
}

// The chip check shows and ticks "Include 4K NVRAM" for the rows whose images may carry the
// block, and the image search looks for a header behind it only there.
TEST(ChipTypeTable, NvramBlockAndLateHeaderRows) {
  std::set<ChipType> nvram;
  std::set<ChipType> late;
  for (const ChipTypeRow& row : kChipTypes) {
    if (row.NvramBlock) {
      nvram.insert(row.Type);
    }
    if (row.LateHeader) {
      late.insert(row.Type);
    }
  }
  EXPECT_EQ(
      (std::set<ChipType>{ChipType::Qvk842Series, ChipType::Qvk848Series, ChipType::Qvk844Series,
                          ChipType::Qvn962Series, ChipType::Qvn958Series}),
      nvram);
  EXPECT_EQ((std::set<ChipType>{ChipType::Qvk926Series, ChipType::Qv40713ESeries}), late);
}

}  // namespace
}  // namespace q71x
