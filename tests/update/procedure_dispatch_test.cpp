// SPDX-License-Identifier: GPL-2.0-or-later
// Run's choice of procedure for every row of the chip-type table, including the rows whose
// choice depends on what the chip check learnt or on the device's mode flag.

#include "src/update/procedure_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>

#include "src/catalog/chip_type_table.h"
#include "tests/support/cdb_script.h"

namespace q71x::testing {
namespace {

const char* const kUsbPath = "\\\\?\\usbstor#disk&ven_q71x&prod_bridge#1";
const char* const k1394Path = "\\\\?\\sbp2#q71x&bridge#1";
const std::vector<std::uint8_t> kModeFlagRead = {0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0x50, 0x5E};

struct DispatchCase {
  ChipType Type;
  std::uint8_t Revision;
  q71x::FlashVendor FlashVendor;
  std::uint32_t SstSpiFlash;
  std::int32_t ConfigLevel;
  const char* Path;
  bool ModeFlag;  // what the device's controller memory says, when it is asked
  UpdateProcedure Expected;
};

void PrintTo(const DispatchCase& c, std::ostream* out) {
  *out << ChipRow(c.Type).DisplayName << " (row " << int{RowNumber(c.Type)} << "), revision "
       << int{c.Revision} << ", vendor " << int{RowNumber(c.FlashVendor)} << ", SST SPI "
       << c.SstSpiFlash << ", level 0x" << std::hex << c.ConfigLevel << std::dec << ", " << c.Path
       << (c.ModeFlag ? ", mode flag set" : "");
}

using C = ChipType;
using V = FlashVendor;
using P = UpdateProcedure;
const std::vector<DispatchCase> kCases = {
    {C::Unknown, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
    {C::Qv40714Series, 1, V::Atmel, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
    {C::Qv40712Series, 0, V::Unknown, 0, 0, kUsbPath, false, P::UpdateParallelFlash},
    {C::Qv40716Series, 0, V::Unknown, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
    {C::Qv40713Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
    {C::Qv40709Series, 1, V::Unknown, 0, 0xD0, kUsbPath, false, P::UpdateDiskFirmware},
    {C::Qv40709Series, 1, V::Unknown, 0, 0xCF, kUsbPath, false, P::None},
    {C::Qvk842Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateFlashWithNvram},
    {C::Qvk846Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
    {C::Qvk846Series, 1, V::Unknown, 0, 0, k1394Path, false, P::UpdateDf2Flash},
    {C::Qvk848Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
    {C::Qvk844Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
    {C::Qvn962Series, 3, V::Unknown, 0, 0, kUsbPath, false, P::UpdateFlashWithNvram},
    {C::Qvn962Series, 3, V::Unknown, 0, 0, kUsbPath, true, P::UpdateDfFlash},
    {C::Qvn962Series, 3, V::Sst, 1, 0, kUsbPath, true, P::UpdateSerialFlashSpi},
    {C::Qvn962Series, 5, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
    {C::Qvn962Series, 5, V::Sst, 1, 0, kUsbPath, false, P::UpdateSerialFlashSpi},
    {C::Qvn958Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
    {C::Qvk926Series, 3, V::Winbond, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
    {C::Qvk924Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDiskFirmware},
    {C::Qv40713ESeries, 2, V::Mxic, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
    {C::Qv40713ESeries, 2, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDiskFirmware},
    {C::Qv40716, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
    {C::Qv40718, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
    {C::Qv40713, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
    {C::Qv40714, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
    {C::Qv40712, 0, V::Unknown, 0, 0, kUsbPath, false, P::UpdateParallelFlash},
};

class ProcedureDispatchTest : public ::testing::TestWithParam<DispatchCase> {
 protected:
  ScriptedPlatform platform;
  ScopedActivePlatform usePlatform{platform};
  CdbScript script;
};

TEST_P(ProcedureDispatchTest, PicksTheProcedureOfTheChip) {
  const DispatchCase& c = GetParam();
  const auto flag = static_cast<std::uint8_t>(c.ModeFlag ? 0x01 : 0x00);
  script.On(kModeFlagRead, ScriptedReply{true, 0, {0x00, 0x00, flag, 0x00}});
  script.Attach(platform);
  DispatchFacts facts;
  facts.ChipType = c.Type;
  facts.ChipRevision = c.Revision;
  facts.FlashVendor = c.FlashVendor;
  facts.SstSpiFlash = c.SstSpiFlash;
  facts.ConfigLevel = c.ConfigLevel;
  facts.DevicePath = c.Path;

  EXPECT_EQ(UpdateProcedureName(c.Expected), UpdateProcedureName(ChooseUpdateProcedure(facts)));
  // The mode flag is asked of QVN962 bridges only, and always; nothing else is sent.
  const bool onlyModeFlag =
      std::all_of(platform.Commands().begin(), platform.Commands().end(), [](const auto& cmd) {
        return cmd.Cdb.size() == 12 &&
               std::equal(kModeFlagRead.begin(), kModeFlagRead.end(), cmd.Cdb.begin()) &&
               cmd.Cdb[11] == 0xFD;
      });
  EXPECT_TRUE(onlyModeFlag);
  EXPECT_EQ(c.Type == C::Qvn962Series ? 1u : 0u, platform.Commands().size());
}

INSTANTIATE_TEST_SUITE_P(EveryRow, ProcedureDispatchTest, ::testing::ValuesIn(kCases));

TEST(ProcedureDispatch, EveryRowOfTheTableHasACase) {
  std::set<ChipType> covered;
  for (const DispatchCase& c : kCases) {
    covered.insert(c.Type);
  }
  for (const ChipTypeRow& row : kChipTypes) {
    EXPECT_TRUE(covered.contains(row.Type))
        << row.DisplayName << " (row " << int{RowNumber(row.Type)} << ") is never dispatched";
  }
}

TEST(ProcedureDispatch, ATypeOutsideTheTableRunsNothing) {
  ScriptedPlatform platform;
  ScopedActivePlatform usePlatform{platform};
  DispatchFacts facts;
  facts.ChipType = static_cast<ChipType>(kChipTypeCount);
  facts.DevicePath = kUsbPath;
  EXPECT_EQ(UpdateProcedure::None, ChooseUpdateProcedure(facts));
  EXPECT_TRUE(platform.Commands().empty());
}

}  // namespace
}  // namespace q71x::testing
