// SPDX-License-Identifier: GPL-2.0-or-later
// The campaign's own verdicts: the intended memory of each procedure's rules and the judgement of
// one run. A campaign whose oracle agreed with a lying procedure would prove nothing, so these
// cases feed it runs that lie in the ways the procedures could.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "src/update/update_texts.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/intended_outcome.h"
#include "tests/campaign/run_judgement.h"
#include "tests/support/temp_dir.h"

namespace q71x::campaign {
namespace {

constexpr std::size_t kFlashBytes = 128 * 1024;

// Old firmware as plain non-FF bytes, so that erased and kept bytes are told apart.
MemorySnapshot OldFlash() {
  MemorySnapshot flash;
  flash.Bytes.resize(kFlashBytes);
  for (std::size_t i = 0; i < flash.Bytes.size(); ++i) {
    flash.Bytes[i] = static_cast<std::uint8_t>(0x10 + i % 0x60);
  }
  return flash;
}

std::vector<std::uint8_t> Image(std::size_t size) {
  std::vector<std::uint8_t> image(size);
  for (std::size_t i = 0; i < size; ++i) {
    image[i] = static_cast<std::uint8_t>(0x80 + i % 0x70);
  }
  return image;
}

// What a correct run of the intent leaves: every ruled byte as meant, the rest erased.
MemorySnapshot Fulfilled(const RunIntent& intent) {
  MemorySnapshot after;
  after.Bytes.resize(intent.Bytes.size());
  for (std::size_t i = 0; i < intent.Bytes.size(); ++i) {
    after.Bytes[i] = intent.Rules[i] == ByteRule::Exact ? intent.Bytes[i] : 0xFF;
  }
  return after;
}

RunInputs Inputs(const char* deviceKey, EngineeringAction action, std::size_t imageBytes,
                 bool nvram) {
  RunInputs inputs;
  inputs.Device = FindCampaignDevice(deviceKey);
  inputs.WhatRuns = action;
  inputs.Image = Image(imageBytes);
  inputs.NvramTicked = nvram;
  return inputs;
}

TEST(IntendedOutcome, SerialUpdateKeepsTheConfigurationCopyOnlyForImagesOfAtMost32K) {
  const MemorySnapshot old = OldFlash();
  const RunIntent small =
      IntendedOutcome(Inputs("qv40714-atmel", EngineeringAction::Update, 16384, false), old);
  MemorySnapshot after = Fulfilled(small);
  EXPECT_EQ(std::nullopt, FindMismatch(small, old, after));
  EXPECT_EQ(old.Bytes[0x8000], small.Bytes[0x8000]);
  // The image's padding up to 32 KB is programmed as zeros.
  EXPECT_EQ(0x00, small.Bytes[16384]);
  after.Bytes[0x8000 + 511] ^= 0x01;
  const auto lost = FindMismatch(small, old, after);
  ASSERT_TRUE(lost.has_value());
  EXPECT_EQ(0x8000u + 511, lost->Address);

  const RunIntent large =
      IntendedOutcome(Inputs("qv40714-atmel", EngineeringAction::Update, 49152, false), old);
  EXPECT_EQ(Image(49152)[0x8000], large.Bytes[0x8000]);
}

TEST(IntendedOutcome, DfUpdateTakesTheConfigurationAreaFromTheDeviceUnlessNvramIsTicked) {
  const MemorySnapshot old = OldFlash();
  const std::vector<std::uint8_t> image = Image(5000);
  const RunIntent kept =
      IntendedOutcome(Inputs("qvk848-mxic", EngineeringAction::Update, 5000, false), old);
  EXPECT_EQ(old.Bytes[0], kept.Bytes[0]);
  EXPECT_EQ(old.Bytes[4095], kept.Bytes[4095]);
  EXPECT_EQ(image[4096], kept.Bytes[4096]);
  // 5000 bytes are written as 5120, the rest zeros, all of it compared.
  EXPECT_EQ(0x00, kept.Bytes[5119]);
  EXPECT_EQ(ByteRule::Exact, kept.Rules[5119]);
  EXPECT_EQ(ByteRule::OldOrErased, kept.Rules[5120]);

  const RunIntent fromFile =
      IntendedOutcome(Inputs("qvk848-mxic", EngineeringAction::Update, 5000, true), old);
  EXPECT_EQ(image[0], fromFile.Bytes[0]);
}

TEST(IntendedOutcome, NvramKeepingUpdateCarriesTheDeviceAreaAheadOfTheWholeFile) {
  const MemorySnapshot old = OldFlash();
  const std::vector<std::uint8_t> image = Image(10240);
  const RunIntent intent =
      IntendedOutcome(Inputs("qvk842-eon", EngineeringAction::Update, image.size(), false), old);
  EXPECT_EQ(old.Bytes[100], intent.Bytes[100]);
  EXPECT_EQ(image[0], intent.Bytes[4096]);
  EXPECT_EQ(image.back(), intent.Bytes[4096 + image.size() - 1]);
  // Past the stream, inside the erased sector: zeros of the last block or still erased.
  EXPECT_EQ(ByteRule::ZeroOrErased, intent.Rules[4096 + image.size()]);
  EXPECT_EQ(ByteRule::OldOrErased, intent.Rules[32768]);
}

TEST(IntendedOutcome, EraseOnlyKeepsExactlyTheAreasTheProcedureRestores) {
  const MemorySnapshot old = OldFlash();
  const RunIntent df =
      IntendedOutcome(Inputs("qvk848-mxic", EngineeringAction::EraseOnly, 0, false), old);
  EXPECT_EQ(old.Bytes[10], df.Bytes[10]);
  EXPECT_EQ(0xFF, df.Bytes[4096]);
  const RunIntent df2 =
      IntendedOutcome(Inputs("qvk846-1394", EngineeringAction::EraseOnly, 0, false), old);
  EXPECT_EQ(0xFF, df2.Bytes[0]);
  EXPECT_EQ(old.Bytes[0x8000 + 1023], df2.Bytes[0x8000 + 1023]);
  EXPECT_EQ(0xFF, df2.Bytes[0x8000 + 1024]);
  const RunIntent serial =
      IntendedOutcome(Inputs("qv40714-winbond", EngineeringAction::EraseOnly, 0, false), old);
  EXPECT_EQ(0xFF, serial.Bytes[0x8000]);
}

TEST(IntendedOutcome, BytesNoRuleSpeaksForMayOnlyBeOldOrErased) {
  const MemorySnapshot old = OldFlash();
  const RunIntent intent =
      IntendedOutcome(Inputs("qvk848-mxic", EngineeringAction::Update, 8192, true), old);
  MemorySnapshot after = Fulfilled(intent);
  after.Bytes[70000] = old.Bytes[70000];
  EXPECT_EQ(std::nullopt, FindMismatch(intent, old, after));
  after.Bytes[70000] = 0x00;
  EXPECT_TRUE(FindMismatch(intent, old, after).has_value());
}

TEST(IntendedOutcome, BackupMeansTheFileHoldsTheRangeAndNothingChanges) {
  const MemorySnapshot old = OldFlash();
  const RunIntent backup =
      IntendedOutcome(Inputs("qvk842-eon", EngineeringAction::BackupOnly, 0, false), old);
  ASSERT_TRUE(backup.WritesBackup);
  ASSERT_EQ(65536u - 4096, backup.BackupFile.size());
  EXPECT_EQ(old.Bytes[4096], backup.BackupFile.front());
  MemorySnapshot after = old;
  after.Bytes[5] = 0xFF;
  EXPECT_TRUE(FindMismatch(backup, old, after).has_value());
}

// What a procedure reports when it did what it was asked, asking for a power cycle.
RunOutcome SucceededOutcome() {
  RunOutcome outcome;
  outcome.Verdict = RunVerdict::Succeeded;
  outcome.Reason = FailureReason::None;
  outcome.MemoryChanged = true;
  outcome.PowerCycleAsked = true;
  return outcome;
}

class JudgeRunTest : public ::testing::Test {
 protected:
  testing::TempDir dir;
  std::string backup = dir.File("backup.bin");
  MemorySnapshot old = OldFlash();
};

TEST_F(JudgeRunTest, SuccessTextOverTheWrongMemoryIsAFalseSuccess) {
  const CampaignDevice& device = *FindCampaignDevice("qvk848-mxic");
  const RunIntent intent =
      IntendedOutcome(Inputs(device.Key, EngineeringAction::Update, 8192, false), old);
  MemorySnapshot after = Fulfilled(intent);
  after.Bytes[100] ^= 0xFF;  // the configuration area lost
  const RunRecord record{
      1, std::string(kProgrammingSuccessText), {std::string(kPowerCycleText)}, SucceededOutcome()};
  const Judgement judgement =
      JudgeRun(device, EngineeringAction::Update, record, intent, old, after, backup);
  EXPECT_TRUE(judgement.Claimed);
  EXPECT_NE("", judgement.Breach);
  EXPECT_TRUE(judgement.TextKnown);
}

TEST_F(JudgeRunTest, TheOutcomeClaimsSuccessNotTheTextsOrTheBox) {
  const CampaignDevice& disk = *FindCampaignDevice("qv40709-disk");
  const RunIntent intent =
      IntendedOutcome(Inputs(disk.Key, EngineeringAction::Update, 8192, false), old);
  const RunRecord boxOnly{
      1, "Write Data To HDD FAIL!!", {std::string(kPowerCycleText)}, SucceededOutcome()};
  EXPECT_TRUE(JudgeRun(disk, EngineeringAction::Update, boxOnly, intent, old, old, backup).Claimed);

  // The 1394 family asks for a power cycle after every run that opened the file.
  const CampaignDevice& df2 = *FindCampaignDevice("qvk846-1394");
  const RunIntent df2Intent =
      IntendedOutcome(Inputs(df2.Key, EngineeringAction::Update, 8192, false), old);
  RunOutcome compareFailed;
  compareFailed.Verdict = RunVerdict::Failed;
  compareFailed.Step = RunStep::Verify;
  compareFailed.Reason = FailureReason::Mismatch;
  compareFailed.PowerCycleAsked = true;
  const RunRecord failed{
      1, std::string(kDataCompareFailText), {std::string(kPowerCycleText)}, compareFailed};
  const Judgement judgement =
      JudgeRun(df2, EngineeringAction::Update, failed, df2Intent, old, old, backup);
  EXPECT_FALSE(judgement.Claimed);
  EXPECT_TRUE(judgement.TextKnown);
}

TEST_F(JudgeRunTest, ATextNoTableNamesIsReported) {
  const CampaignDevice& device = *FindCampaignDevice("qv40712-sst");
  const RunIntent intent =
      IntendedOutcome(Inputs(device.Key, EngineeringAction::EraseOnly, 0, false), old);
  const RunRecord documented{
      1, "Erase command ok,status fail!!", {std::string(kPowerCycleText)}, RunOutcome{}};
  const Judgement allowed =
      JudgeRun(device, EngineeringAction::EraseOnly, documented, intent, old, old, backup);
  EXPECT_FALSE(allowed.Claimed);
  EXPECT_TRUE(allowed.TextKnown);
  const RunRecord stray{0, "Erase command ok!!", {}, RunOutcome{}};
  EXPECT_FALSE(
      JudgeRun(device, EngineeringAction::EraseOnly, stray, intent, old, old, backup).TextKnown);
}

TEST_F(JudgeRunTest, ABackupClaimNeedsTheFileToHoldTheOldFirmware) {
  const CampaignDevice& device = *FindCampaignDevice("qv40714-winbond");
  const RunIntent intent =
      IntendedOutcome(Inputs(device.Key, EngineeringAction::BackupOnly, 0, false), old);
  const RunRecord record{1, std::string(kBackupSuccessText), {}, SucceededOutcome()};
  EXPECT_EQ(
      "no backup file",
      JudgeRun(device, EngineeringAction::BackupOnly, record, intent, old, old, backup).Breach);

  std::vector<std::uint8_t> bytes = intent.BackupFile;
  bytes[1000] ^= 0x20;
  std::ofstream(backup, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  EXPECT_NE(
      "", JudgeRun(device, EngineeringAction::BackupOnly, record, intent, old, old, backup).Breach);

  bytes[1000] ^= 0x20;
  std::ofstream(backup, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  EXPECT_EQ(
      "", JudgeRun(device, EngineeringAction::BackupOnly, record, intent, old, old, backup).Breach);
}

}  // namespace
}  // namespace q71x::campaign
