// SPDX-License-Identifier: GPL-2.0-or-later
// The DF family's erase-only and backup-only actions end to end against simulated flash.

#include <gtest/gtest.h>

#include <filesystem>

#include "src/update/df/df_flash_update.h"
#include "src/update/update_texts.h"
#include "tests/support/file_size_limit.h"
#include "tests/update/df_sim_rig.h"
#include "tests/update/df_test_support.h"
#include "tests/update/expected_texts.h"

namespace q71x::testing {
namespace {

bool AllErased(const std::vector<std::uint8_t>& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

struct EraseModeCase {
  DfDeviceSpec Device;
  std::uint8_t Mark;
  std::uint32_t TimeoutSeconds;
  std::vector<std::uint32_t> EraseAddresses;
};

TEST(DfEraseOnly, EachVendorGetsItsEraseCommandAndKeepsTheConfigurationArea) {
  const std::vector<EraseModeCase> cases = {
      {Df848Winbond(), 0x03, 100, {0}},
      {Df848Mxic(), 0x83, 50, {0}},
      {Df844Atmel(), 0x02, 50, {0, 0x8000}},
      {{11, "EN25P05", false, 0, 4096}, 0x02, 50, {0}},
      {{9, "M25P05-A", false, 0, 4096}, 0x03, 100, {0}},
  };
  for (const EraseModeCase& c : cases) {
    SCOPED_TRACE(c.Device.FlashPart);
    DfSimRig rig(c.Device);
    rig.window.TickFor(EngineeringAction::EraseOnly);

    EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

    EXPECT_EQ(rig.config, rig.FlashRange(0, 4096));
    EXPECT_TRUE(AllErased(rig.FlashRange(4096, 65536 - 4096)));
    EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
    EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
    // The erase commands are the first writes: one 4 KB block of 0xFF behind the vendor's mark.
    const auto writes = rig.DfCommands(0xFB);
    ASSERT_GE(writes.size(), c.EraseAddresses.size());
    for (std::size_t i = 0; i < c.EraseAddresses.size(); ++i) {
      EXPECT_EQ(c.EraseAddresses[i], DfSimRig::AddressOf(*writes[i]));
      EXPECT_EQ(4096u, DfSimRig::LengthOf(*writes[i]));
      EXPECT_EQ(c.Mark, writes[i]->Cdb[1]);
      EXPECT_EQ(c.TimeoutSeconds, writes[i]->TimeoutSeconds);
      EXPECT_TRUE(AllErased(writes[i]->DataOut));
    }
    // The configuration area went back with a plain program (no mark) as the last write.
    EXPECT_EQ(0, writes.back()->Cdb[1]);
  }
}

TEST(DfEraseOnly, WithNvramIncludedTheWholeRangeIsErasedAndNothingIsReadFirst) {
  DfSimRig rig(Df848Winbond());
  rig.window.TickFor(EngineeringAction::EraseOnly);
  rig.window.nvram = true;
  rig.window.settings.FirmwareSize = 131072;

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_TRUE(AllErased(rig.FlashRange(0, 131072)));
  EXPECT_LT(rig.DfCommands(0xFB).front()->StartUs, rig.DfCommands(0xFA).front()->StartUs);
  EXPECT_EQ(1u, rig.DfCommands(0xFB).size());
}

TEST(DfEraseOnly, AFlashLeftDirtyIsErasedAgainSectorBySector) {
  DfSimRig rig(Df848Winbond());
  rig.window.TickFor(EngineeringAction::EraseOnly);
  // The erase command reaches the bridge with its data zeroed: the block is erased and then
  // programmed with zeros, so the first blank check fails.
  rig.ArmDfFault(0xFB, 1, sim::FaultKind::Short, 1, 0);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ(rig.config, rig.FlashRange(0, 4096));
  EXPECT_TRUE(AllErased(rig.FlashRange(4096, 65536 - 4096)));
  std::size_t sectorMarks = 0;
  for (const sim::LoggedCommand* c : rig.DfCommands(0xFB)) {
    sectorMarks += c->Cdb[1] == 0x01 ? 1 : 0;
  }
  EXPECT_EQ(16u, sectorMarks);
  EXPECT_EQ(1u, CountOf(rig.window.statusHistory, "Erase..."));
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
}

TEST(DfEraseOnly, AnMxicFlashLeftDirtyGetsThePlainWholeFlashMark) {
  DfSimRig rig(Df848Mxic());
  rig.window.TickFor(EngineeringAction::EraseOnly);
  rig.ArmDfFault(0xFB, 1, sim::FaultKind::Short, 1, 0);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  const auto writes = rig.DfCommands(0xFB);
  ASSERT_EQ(3u, writes.size());
  EXPECT_EQ(0x83, writes[0]->Cdb[1]);
  EXPECT_EQ(0x03, writes[1]->Cdb[1]);
  EXPECT_EQ(100u, writes[1]->TimeoutSeconds);
  EXPECT_TRUE(AllErased(rig.FlashRange(4096, 65536 - 4096)));
  EXPECT_EQ(rig.config, rig.FlashRange(0, 4096));
}

// A blank check that cannot read proves nothing: the flash is erased again and checked again
// before the success text.
TEST(DfEraseOnly, ABlankCheckThatCannotReadIsFollowedByASecondErase) {
  DfSimRig rig(Df848Winbond());
  rig.window.TickFor(EngineeringAction::EraseOnly);
  rig.window.nvram = true;
  rig.ArmDfFault(0xFA, 1, sim::FaultKind::Fail);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  EXPECT_GT(rig.DfCommands(0xFB).size(), 1u);  // the erase by sectors after the first one
  EXPECT_TRUE(AllErased(rig.FlashRange(0, 65536)));
  EXPECT_EQ(1u, rig.dialogs.Boxes().size());
}

TEST(DfBackup, LeavesTheConfigurationAreaOutUnlessNvramIsIncluded) {
  for (bool includeNvram : {false, true}) {
    SCOPED_TRACE(includeNvram);
    DfSimRig rig(Df848Winbond());
    rig.window.TickFor(EngineeringAction::BackupOnly);
    rig.window.nvram = includeNvram;
    const std::uint32_t skip = includeNvram ? 0 : 4096;

    EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

    EXPECT_EQ(rig.FlashRange(skip, 65536 - skip), ReadFileBytes(rig.window.backupFile));
    EXPECT_EQ("Read flash and backup success!", rig.window.StatusText());
    // The whole range twice, eight 8 KB blocks, then the second time starting with half a block
    // (nine reads): the file holds only agreeing reads.
    EXPECT_EQ(17u, rig.DfCommands(0xFA).size());
    EXPECT_TRUE(rig.DfCommands(0xFB).empty());
    EXPECT_TRUE(rig.dialogs.Boxes().empty());
  }
}

TEST(DfBackup, AnEmptyNameWritesOldFlashBakInTheCurrentDirectory) {
  DfSimRig rig(Df848Winbond());
  rig.window.TickFor(EngineeringAction::BackupOnly);
  rig.window.nvram = true;
  rig.window.backupFile.clear();
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(rig.dir.path());

  const int result = UpdateDfFlash(rig.window, rig.path);
  std::filesystem::current_path(previous);

  EXPECT_EQ(1, result);
  EXPECT_EQ(std::vector<std::string>{"Default backup firmware as OldFalsh.bak!"},
            rig.dialogs.BoxTexts());
  EXPECT_EQ("Message", rig.dialogs.Boxes().front().Caption);
  EXPECT_EQ(rig.FlashRange(0, 65536), ReadFileBytes(rig.dir.File("oldFlash.bak")));
}

TEST(DfBackup, ANameTooLongForTheFieldIsRefusedBeforeAnyCommand) {
  DfSimRig rig(Df848Winbond());
  rig.window.TickFor(EngineeringAction::BackupOnly);
  rig.window.backupFile = rig.dir.File(std::string(300, 'b'));

  EXPECT_EQ(0, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ(std::string(kBackupNameTooLongText), rig.window.StatusText());
  EXPECT_EQ(0u, rig.system.Log().Size());
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
}

TEST(DfBackup, AFileThatCannotBeWrittenWholeIsNotASuccess) {
  DfSimRig rig(Df848Winbond());
  rig.window.TickFor(EngineeringAction::BackupOnly);
  rig.window.backupFile = rig.dir.File("full.bak");
  {
    ScopedFileSizeLimit diskFull(4096);
    if (!diskFull.Active()) {
      GTEST_SKIP() << "no way to fill the disk on this system";
    }
    EXPECT_EQ(0, UpdateDfFlash(rig.window, rig.path));
  }
  EXPECT_EQ(std::string(kWriteBackupFileErrorText), rig.window.StatusText());
  EXPECT_FALSE(std::filesystem::exists(rig.window.backupFile));
}

}  // namespace
}  // namespace q71x::testing
