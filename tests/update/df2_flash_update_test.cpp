// SPDX-License-Identifier: GPL-2.0-or-later
// The 1394-attached QVK846 update end to end against simulated flash: 256-byte blocks with the
// erase flag on the two erase units, the 1 KB configuration area at 0x8000, and the power-cycle
// box after every run that opened the image.

#include "src/update/df/df2_flash_update.h"

#include <gtest/gtest.h>

#include "src/update/update_texts.h"
#include "tests/update/df_sim_rig.h"
#include "tests/update/df_test_support.h"
#include "tests/update/expected_texts.h"

namespace q71x::testing {
namespace {

std::vector<std::uint8_t> Padded(std::vector<std::uint8_t> bytes, std::size_t length) {
  bytes.resize(length, 0x00);
  return bytes;
}

std::vector<std::uint32_t> FlaggedAddresses(DfSimRig& rig) {
  std::vector<std::uint32_t> flagged;
  for (const sim::LoggedCommand* c : rig.DfCommands(0xFB)) {
    if (c->Cdb[1] != 0) {
      EXPECT_EQ(0x01, c->Cdb[1]);
      flagged.push_back(DfSimRig::AddressOf(*c));
    }
  }
  return flagged;
}

TEST(Df2Programming, ASmallImageFillsTheFirmwareAreaAndLeavesTheConfigurationArea) {
  DfSimRig rig(Qvk846On1394());
  const auto image = rig.WriteImage(20000);

  EXPECT_EQ(1, UpdateDf2Flash(rig.window, rig.path));

  EXPECT_EQ(Padded(image, 32768), rig.FlashRange(0, 32768));
  EXPECT_EQ(rig.config, rig.FlashRange(0x8000, 1024));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
  EXPECT_EQ(256u, rig.window.settings.FlashPageSize);

  // The configuration area was read, in 256-byte blocks, before the first write.
  const auto reads = rig.DfCommands(0xFA);
  const auto writes = rig.DfCommands(0xFB);
  ASSERT_GE(reads.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(0x8000u + 256u * i, DfSimRig::AddressOf(*reads[i]));
    EXPECT_EQ(256u, DfSimRig::LengthOf(*reads[i]));
    EXPECT_LT(reads[i]->StartUs, writes.front()->StartUs);
  }
  ASSERT_EQ(128u, writes.size());
  for (const sim::LoggedCommand* c : writes) {
    EXPECT_EQ(256u, DfSimRig::LengthOf(*c));
  }
  EXPECT_EQ(std::vector<std::uint32_t>{0}, FlaggedAddresses(rig));
  // "Programming", one dot per 2 KB written, then the read-back's own text and dots.
  EXPECT_NE(std::find(rig.window.statusHistory.begin(), rig.window.statusHistory.end(),
                      "Programming" + std::string(16, '.')),
            rig.window.statusHistory.end());
  EXPECT_EQ(0u, CountOf(rig.window.statusHistory, "Programming" + std::string(17, '.')));
}

TEST(Df2Programming, ALargeImageReplacesTheConfigurationAreaWithoutReadingIt) {
  DfSimRig rig(Qvk846On1394());
  const auto image = rig.WriteImage(40000);

  EXPECT_EQ(1, UpdateDf2Flash(rig.window, rig.path));

  EXPECT_EQ(Padded(image, 40192), rig.FlashRange(0, 40192));
  EXPECT_EQ((std::vector<std::uint32_t>{0, 0x8000}), FlaggedAddresses(rig));
  EXPECT_LT(rig.DfCommands(0xFB).front()->StartUs, rig.DfCommands(0xFA).front()->StartUs);
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(1u, rig.dialogs.Boxes().size());
}

TEST(Df2Programming, AnEmptyImageIsRefusedBeforeAnyCommandYetTheBoxFollows) {
  DfSimRig rig(Qvk846On1394());
  WriteFileBytes(rig.window.firmwareFile, {});
  const auto before = rig.Flash();

  EXPECT_EQ(1, UpdateDf2Flash(rig.window, rig.path));

  EXPECT_EQ(std::string(kEmptyImageFileText), rig.window.StatusText());
  EXPECT_EQ(0u, rig.system.Log().Size());
  EXPECT_EQ(before, rig.Flash());
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
}

TEST(Df2EraseOnly, ErasesBothUnitsAndPutsTheConfigurationAreaBack) {
  DfSimRig rig(Qvk846On1394());
  rig.window.rdVersion = true;
  rig.window.eraseOnly = true;

  EXPECT_EQ(1, UpdateDf2Flash(rig.window, rig.path));

  EXPECT_TRUE(std::all_of(rig.Flash().begin(), rig.Flash().begin() + 0x8000,
                          [](std::uint8_t b) { return b == 0xFF; }));
  EXPECT_EQ(rig.config, rig.FlashRange(0x8000, 1024));
  EXPECT_TRUE(std::all_of(rig.Flash().begin() + 0x8400, rig.Flash().begin() + 0x10000,
                          [](std::uint8_t b) { return b == 0xFF; }));
  const auto writes = rig.DfCommands(0xFB);
  ASSERT_EQ(6u, writes.size());  // two erases, four configuration blocks
  EXPECT_EQ(0u, DfSimRig::AddressOf(*writes[0]));
  EXPECT_EQ(0x8000u, DfSimRig::AddressOf(*writes[1]));
  EXPECT_EQ((std::vector<std::uint32_t>{0, 0x8000, 0x8000}), FlaggedAddresses(rig));
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
}

TEST(Df2Backup, CopiesTheWholeRangeConfigurationAreaIncluded) {
  DfSimRig rig(Qvk846On1394());
  rig.window.rdVersion = true;
  rig.window.backupOnly = true;

  EXPECT_EQ(1, UpdateDf2Flash(rig.window, rig.path));

  EXPECT_EQ(rig.FlashRange(0, 65536), ReadFileBytes(rig.window.backupFile));
  // The whole range twice in 256-byte blocks, the second time starting with half a block (one
  // read more): the file holds only agreeing reads.
  EXPECT_EQ(2u * 256u + 1u, rig.DfCommands(0xFA).size());
  EXPECT_EQ("Read flash and backup success!", rig.window.StatusText());
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
}

}  // namespace
}  // namespace q71x::testing
