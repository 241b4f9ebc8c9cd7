// SPDX-License-Identifier: GPL-2.0-or-later
// The catalogue checked as a whole: every table passes its self-check, each check finds the
// mistakes a new row could bring, and the simulator's parts are the parts the catalogue names,
// so a part added on one side only fails here.

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "sim/parallel_nor_part.h"
#include "sim/serial_flash_parts.h"
#include "src/catalog/chip_tables.h"

namespace q71x {
namespace {

using Problems = std::vector<std::string>;

template <typename Table>
struct Breakage {
  const char* What;
  std::function<void(Table&)> Apply;
  const char* Row;  // the row the self-check must name
};

template <typename Table, typename Check>
void ExpectEachBreakageFound(const Table& sound, const std::vector<Breakage<Table>>& breakages,
                             Check check) {
  for (const Breakage<Table>& breakage : breakages) {
    SCOPED_TRACE(breakage.What);
    Table broken = sound;
    breakage.Apply(broken);
    const Problems problems = check(broken);
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const std::string& p) {
      return p.starts_with(breakage.Row);
    })) << ::testing::PrintToString(problems);
  }
}

TEST(Catalogue, EveryTablePassesItsSelfCheck) {
  EXPECT_EQ(Problems{}, CheckChipTypeTable());
  EXPECT_EQ(Problems{}, CheckFlashVendorTable());
  EXPECT_EQ(Problems{}, CheckParallelPartTable());
}

TEST(Catalogue, SelfChecksFindEachKindOfMistake) {
  using Chips = std::array<ChipTypeRow, kChipTypeCount>;
  ExpectEachBreakageFound<Chips>(kChipTypes,
                                 {{"DF preparation on a serial-flash procedure",
                                   [](Chips& t) { t[1].PrepareDfWrite = true; }, "row 1:"},
                                  {"the NVRAM box for images without the area",
                                   [](Chips& t) { t[3].EraseOnlyOffersNvram = true; }, "row 3:"},
                                  {"a firmware-size choice on a disk-kept chip",
                                   [](Chips& t) { t[5].ChoosesFirmwareSize = true; }, "row 5:"},
                                  {"a revision counted from one where the rule compares it",
                                   [](Chips& t) { t[4].ImageRevisionFromOne = true; }, "row 4:"}},
                                 [](const Chips& t) { return CheckChipTypeTable(t); });

  using Vendors = std::array<FlashVendorRow, kFlashVendorCount>;
  ExpectEachBreakageFound<Vendors>(
      kFlashVendors,
      {{"rows out of order", [](Vendors& t) { std::swap(t[3], t[4]); }, "vendor row 3:"},
       {"a name used twice", [](Vendors& t) { t[9].Name = "EON"; }, "vendor row 9:"},
       {"an erase unit that is no power of two", [](Vendors& t) { t[1].LargeEraseUnit = 30000; },
        "vendor row 1:"},
       {"a small unit above the large one", [](Vendors& t) { t[6].SmallEraseUnit = 131072; },
        "vendor row 6:"},
       {"no program unit", [](Vendors& t) { t[8].ProgramUnit = 0; }, "vendor row 8:"},
       {"a JEDEC prefix that takes other rows' ids",
        [](Vendors& t) {
          t[9].Jedec[0] = {0x7F, 0};
        },
        "vendor row 9:"},
       {"word programming without auto-increment",
        [](Vendors& t) { t[6].WordProgrammingById = true; }, "vendor row 6:"},
       {"32-byte-page parts in 256-byte pages", [](Vendors& t) { t[5].ProgramUnit = 256; },
        "vendor row 5:"},
       {"unprotected by one procedure only",
        [](Vendors& t) { t[6].UnprotectBeforeHostProgram = true; }, "vendor row 6:"},
       {"the vendor bit on a block mark", [](Vendors& t) { t[4].MarkBitOnFirstBlock = true; },
        "vendor row 4:"},
       {"the unknown vendor with a vendor's erase", [](Vendors& t) { t[0].EraseInHalves = true; },
        "vendor row 0:"}},
      [](const Vendors& t) { return CheckFlashVendorTable(t); });

  using Parts = std::array<ParallelPartRow, kParallelPartCount>;
  ExpectEachBreakageFound<Parts>(
      kParallelParts,
      {{"rows out of list order", [](Parts& t) { std::swap(t[0], t[1]); }, "part row 0:"},
       {"a caption shown twice", [](Parts& t) { t[2].Caption = t[0].Caption; }, "part row 2:"},
       {"another part's ids",
        [](Parts& t) {
          t[1].MakerId = t[0].MakerId;
          t[1].DeviceId = t[0].DeviceId;
        },
        "part row 1:"},
       {"no second unlock address", [](Parts& t) { t[2].SecondUnlock = 0; }, "part row 2:"},
       {"both unlock addresses equal", [](Parts& t) { t[0].SecondUnlock = t[0].FirstUnlock; },
        "part row 0:"},
       {"a part beyond 16 address lines", [](Parts& t) { t[1].SizeBytes = 131072; },
        "part row 1:"}},
      [](const Parts& t) { return CheckParallelPartTable(t); });
}

// Every vendor the bridges and the detection name has a simulated part, each part's JEDEC id
// leads to its own row, and the bridge's erase units for the row are units the part erases.
TEST(Catalogue, EveryVendorRowHasSimulatedPartsThatItDescribes) {
  std::set<int> vendorsWithParts;
  for (const sim::SerialFlashPart& part : sim::SerialFlashParts()) {
    SCOPED_TRACE(part.Name);
    ASSERT_LT(part.VendorRow, kFlashVendorCount);
    vendorsWithParts.insert(part.VendorRow);
    if (part.JedecId.Length >= 2) {
      const FlashVendor byId = VendorOfJedecId(part.JedecId.Bytes.data());
      EXPECT_TRUE(byId == FlashVendor::Unknown || RowNumber(byId) == part.VendorRow)
          << "JEDEC id names vendor row " << int{RowNumber(byId)};
    }
    const FlashVendorRow& vendor = VendorRow(part.VendorRow);
    if (vendor.Vendor != FlashVendor::Unknown) {
      EXPECT_LE(vendor.SmallEraseUnit, part.SizeBytes);
      EXPECT_EQ(0u, part.SizeBytes % vendor.SmallEraseUnit);
    }
  }
  for (int row = 1; row < kFlashVendorCount; ++row) {
    EXPECT_EQ(1u, vendorsWithParts.count(row)) << "no simulated part for " << VendorRow(row).Name;
  }
}

// The simulator fits the flash-type list's parts in the list's order: the item the operator
// picks is the part on the simulated board.
TEST(Catalogue, SimulatedParallelPartsAreTheListsParts) {
  ASSERT_EQ(sim::kParallelNorParts.size(), kParallelParts.size());
  for (std::size_t i = 0; i < kParallelParts.size(); ++i) {
    const ParallelPartRow& row = kParallelParts[i];
    const sim::ParallelNorPart& part = sim::kParallelNorParts[i];
    SCOPED_TRACE(row.Caption);
    EXPECT_TRUE(row.Caption.ends_with(part.Name));
    EXPECT_EQ(part.MakerId, row.MakerId);
    EXPECT_EQ(part.DeviceId, row.DeviceId);
    EXPECT_EQ(part.FirstUnlock, row.FirstUnlock);
    EXPECT_EQ(part.SecondUnlock, row.SecondUnlock);
    EXPECT_EQ(part.SizeBytes, row.SizeBytes);
    EXPECT_EQ(ParallelPartItem(row.Part), ParallelPartChoices()[i].Value);
  }
}

}  // namespace
}  // namespace q71x
