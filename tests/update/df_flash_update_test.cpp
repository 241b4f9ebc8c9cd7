// SPDX-License-Identifier: GPL-2.0-or-later
// Programming DF-family bridges end to end against simulated flash: what the flash holds
// afterwards, the configuration area kept or replaced, the three attempts, and the refusals that
// must come before the first command.

#include "src/update/df/df_flash_update.h"

#include <gtest/gtest.h>

#include "src/update/update_texts.h"
#include "tests/update/df_sim_rig.h"
#include "tests/update/expected_texts.h"

namespace q71x::testing {
namespace {

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t length) {
  return {bytes.begin() + from, bytes.begin() + from + length};
}

// The mark of the first block each attempt wrote at address 0, in order.
std::vector<std::uint8_t> AttemptMarks(DfSimRig& rig) {
  std::vector<std::uint8_t> marks;
  for (const sim::LoggedCommand* c : rig.DfCommands(0xFB)) {
    if (DfSimRig::AddressOf(*c) == 0) {
      marks.push_back(c->Cdb[1]);
    }
  }
  return marks;
}

TEST(DfProgramming, KeepsTheDeviceConfigurationAreaWhenNvramIsNotIncluded) {
  DfSimRig rig(Df848Winbond());
  const auto before = rig.FlashRange(0, 4096);
  const auto image = rig.WriteImage(40960);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ(before, rig.FlashRange(0, 4096));
  EXPECT_EQ(Slice(image, 4096, image.size() - 4096), rig.FlashRange(4096, image.size() - 4096));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
  EXPECT_EQ(1u, rig.window.state.FileHasNvram);
  EXPECT_EQ(8192u, rig.window.settings.FlashPageSize);
  // One attempt was enough, with block marks.
  EXPECT_EQ(std::vector<std::uint8_t>{0x02}, AttemptMarks(rig));
}

TEST(DfProgramming, WritesTheWholeFileWhenNvramIsIncluded) {
  DfSimRig rig(Df848Winbond());
  rig.window.nvram = true;
  const auto image = rig.WriteImage(65536);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ(image, rig.FlashRange(0, 65536));
  EXPECT_NE(rig.config, rig.FlashRange(0, 4096));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(1u, rig.dialogs.Boxes().size());
  // Nothing was read before programming: the file's own area goes to the flash.
  const auto firstRead = rig.DfCommands(0xFA).front();
  const auto firstWrite = rig.DfCommands(0xFB).front();
  EXPECT_GT(firstRead->StartUs, firstWrite->StartUs);
}

TEST(DfProgramming, AShortImageIsProgrammedAsWholeBlocksWithZeroPadding) {
  DfSimRig rig(Df848Winbond());
  rig.window.nvram = true;
  const std::vector<std::uint8_t> image(300, 0x5A);
  WriteFileBytes(rig.window.firmwareFile, image);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  const auto flash = rig.FlashRange(0, 512);
  EXPECT_EQ(image, Slice(flash, 0, 300));
  EXPECT_EQ(std::vector<std::uint8_t>(212, 0x00), Slice(flash, 300, 212));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  for (const sim::LoggedCommand* c : rig.DfCommands(0xFA)) {
    EXPECT_EQ(512u, DfSimRig::LengthOf(*c));
  }
}

TEST(DfProgramming, MxicFirstBlockIsSentTwice) {
  DfSimRig rig(Df848Mxic());
  const auto before = rig.FlashRange(0, 4096);
  const auto image = rig.WriteImage(32768);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ((std::vector<std::uint8_t>{0x02, 0x82}), AttemptMarks(rig));
  EXPECT_EQ(before, rig.FlashRange(0, 4096));
  EXPECT_EQ(Slice(image, 4096, 32768 - 4096), rig.FlashRange(4096, 32768 - 4096));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(DfProgramming, ACompareFailureIsFollowedByAnAttemptWithSectorMarks) {
  DfSimRig rig(Df848Winbond());
  rig.window.nvram = true;
  const auto image = rig.WriteImage(65536);
  // The first read-back block of the first attempt comes back as noise; nothing else fails.
  rig.ArmDfFault(0xFA, 1, sim::FaultKind::Garbage, 1, 99);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ(image, rig.FlashRange(0, 65536));
  EXPECT_EQ((std::vector<std::uint8_t>{0x02, 0x01}), AttemptMarks(rig));
  // The second attempt marks every 4 KB sector, on the first block inside it.
  std::vector<std::uint32_t> marked;
  const auto writes = rig.DfCommands(0xFB);
  for (std::size_t i = 9; i < writes.size(); ++i) {  // after the 9 blocks of attempt one
    if (writes[i]->Cdb[1] != 0) {
      EXPECT_EQ(0x01, writes[i]->Cdb[1]);
      marked.push_back(DfSimRig::AddressOf(*writes[i]));
    }
  }
  ASSERT_EQ(16u, marked.size());
  for (std::uint32_t i = 0; i < 16; ++i) {
    EXPECT_EQ(i * 4096, marked[i]);
  }
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_NE(std::find(rig.window.statusHistory.begin(), rig.window.statusHistory.end(),
                      "Data compare fail !!"),
            rig.window.statusHistory.end());
  EXPECT_EQ(1u, rig.dialogs.Boxes().size());
}

TEST(DfProgramming, ThreeFailedAttemptsLeaveTheLastTextAndNoBox) {
  DfSimRig rig(Df848Winbond());
  rig.window.nvram = true;
  const auto image = rig.WriteImage(32768);
  rig.ArmDfFault(0xFA, 1, sim::FaultKind::Garbage, 0, 5);  // every read-back is noise

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ((std::vector<std::uint8_t>{0x02, 0x01, 0x03}), AttemptMarks(rig));
  EXPECT_EQ("Data compare fail !!", rig.window.StatusText());
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
  // The flash holds what the last attempt wrote.
  EXPECT_EQ(image, rig.FlashRange(0, 32768));
}

TEST(DfProgramming, ALateType10PartIsPreparedBeforeTheFirstFlashCommand) {
  DfDeviceSpec spec = Df848Winbond();
  spec.ChipType = 10;
  DfSimRig rig(spec);
  rig.WriteImage(16384);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  const auto prepare = rig.system.Log().Matching(sim::CdbPattern::Prefix({0xFF, 0x04, 0x25}));
  ASSERT_EQ(1u, prepare.size());
  EXPECT_LT(prepare[0]->StartUs, rig.DfCommands(0xFA).front()->StartUs);
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

struct RefusalCase {
  const char* Name;
  bool IncludeNvram;
  std::size_t FileSize;
  std::string ExpectedText;
};

TEST(DfProgramming, ImagesWithNothingToProgramAreRefusedBeforeAnyCommand) {
  const std::vector<RefusalCase> cases = {
      {"empty, NVRAM included", true, 0, std::string(kEmptyImageFileText)},
      {"empty, NVRAM kept", false, 0, std::string(kEmptyImageFileText)},
      {"only a configuration area, NVRAM kept", false, 4096,
       "Firmware file holds no more than the 4K NVRAM area, nothing erased!"},
      {"less than a configuration area, NVRAM kept", false, 100,
       "Firmware file holds no more than the 4K NVRAM area, nothing erased!"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.Name);
    DfSimRig rig(Df848Winbond());
    rig.window.nvram = c.IncludeNvram;
    WriteFileBytes(rig.window.firmwareFile, std::vector<std::uint8_t>(c.FileSize, 0x11));
    const auto before = rig.Flash();

    EXPECT_EQ(0, UpdateDfFlash(rig.window, rig.path));

    EXPECT_EQ(0u, rig.system.Log().Size());
    EXPECT_EQ(c.ExpectedText, rig.window.StatusText());
    EXPECT_EQ(before, rig.Flash());
    EXPECT_TRUE(rig.dialogs.Boxes().empty());
  }
}

TEST(DfProgramming, AFileJustOverTheConfigurationAreaIsProgrammed) {
  DfSimRig rig(Df848Winbond());
  const auto before = rig.FlashRange(0, 4096);
  std::vector<std::uint8_t> image(4097, 0x33);
  WriteFileBytes(rig.window.firmwareFile, image);

  EXPECT_EQ(1, UpdateDfFlash(rig.window, rig.path));

  EXPECT_EQ(before, rig.FlashRange(0, 4096));
  EXPECT_EQ(0x33, rig.Flash()[4096]);
  EXPECT_EQ(std::vector<std::uint8_t>(255, 0x00), rig.FlashRange(4097, 255));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

}  // namespace
}  // namespace q71x::testing
