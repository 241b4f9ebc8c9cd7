// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/scsi_target.h"

#include <gtest/gtest.h>

#include <vector>

#include "gadget/tests/preset_bridge.h"
#include "sim/serial_flash.h"

namespace q71x::gadget {
namespace {

using Cdb = std::array<std::uint8_t, 16>;

// A preset enclosure behind the target, on a real clock the test moves by hand.
class ScsiTargetTest : public ::testing::Test {
 protected:
  void Load(const char* preset, bool withDisk) {
    enclosure_ = &testing::AddPresetBridge(system_, preset, withDisk);
    target_ = std::make_unique<ScsiTarget>(system_, enclosure_->Path, [this] { return realUs_; });
  }
  ScsiOutcome In(Cdb cdb, std::uint8_t cdbLength, std::vector<std::uint8_t>& data) {
    return target_->Execute(cdb, cdbLength, true, data);
  }
  ScsiOutcome NoData(Cdb cdb, std::uint8_t cdbLength = 12) {
    return target_->Execute(cdb, cdbLength, false, {});
  }
  std::vector<std::uint8_t> RequestSense() {
    std::vector<std::uint8_t> sense(18, 0xEE);
    EXPECT_TRUE(In({0x03, 0, 0, 0, 18}, 6, sense).Passed);
    return sense;
  }
  static SenseData SenseOf(const std::vector<std::uint8_t>& bytes) {
    return SenseData{bytes[2], bytes[12], bytes[13]};
  }

  sim::SimulatedSystem system_;
  sim::Enclosure* enclosure_ = nullptr;
  std::uint64_t realUs_ = 0;
  std::unique_ptr<ScsiTarget> target_;
};

TEST_F(ScsiTargetTest, InquiryReachesTheBridgePersonalityAndItsLengthIsTheKernels) {
  Load("qv40714-winbond", true);
  std::vector<std::uint8_t> data(36, 0);
  const ScsiOutcome outcome = In({0x12, 0, 0, 0, 36}, 6, data);
  ASSERT_TRUE(outcome.Passed);
  EXPECT_EQ(outcome.Transferred, 36u);
  const auto& reply = enclosure_->Bridge.Personality.InquiryReply;
  ASSERT_GE(reply.size(), 36u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), reply.begin()));
}

TEST_F(ScsiTargetTest, ARefusedVendorCommandFailsAndLeavesSenseUntilAsked) {
  Load("qv40714-winbond", true);
  std::vector<std::uint8_t> data(16, 0);
  // Firmware information needs F4 E7 in bytes 1-2; the bridge refuses anything else.
  EXPECT_FALSE(In({0xE0, 0xF4, 0x00}, 12, data).Passed);
  EXPECT_EQ(SenseOf(RequestSense()), kInvalidFieldInCdb);
  EXPECT_EQ(SenseOf(RequestSense()), kNoSense) << "reading the sense clears it";
  EXPECT_TRUE(In({0xE0, 0xF4, 0xE7}, 12, data).Passed);
}

TEST_F(ScsiTargetTest, HousekeepingCommandsAreAnsweredWithoutReachingTheBridge) {
  Load("qv40714-winbond", true);
  // Any command that reached the bridge would fail now.
  sim::FaultRule rule;
  rule.Times = 0;
  system_.Faults().Arm(rule);
  EXPECT_TRUE(NoData({0x00}, 6).Passed) << "TEST UNIT READY";
  EXPECT_TRUE(NoData({0x1E, 0, 0, 0, 1}, 6).Passed) << "PREVENT ALLOW MEDIUM REMOVAL";
  EXPECT_TRUE(NoData({0x35}, 10).Passed) << "SYNCHRONIZE CACHE";
  EXPECT_TRUE(NoData({0x1B, 0, 0, 0, 1}, 6).Passed) << "START STOP UNIT";
  std::vector<std::uint8_t> header(192, 0xEE);
  ScsiOutcome outcome = In({0x1A, 0, 0x3F, 0, 192}, 6, header);
  EXPECT_TRUE(outcome.Passed);
  EXPECT_EQ(outcome.Transferred, 4u);
  EXPECT_EQ(header[0], 3) << "mode data length";
  EXPECT_EQ(header[2] & 0x80, 0) << "not write-protected";
  outcome = In({0x5A, 0, 0x3F, 0, 0, 0, 0, 0, 192}, 10, header);
  EXPECT_TRUE(outcome.Passed);
  EXPECT_EQ(outcome.Transferred, 8u);
  EXPECT_EQ(header[1], 6);
  EXPECT_FALSE(In({0x12, 0x01, 0x80, 0, 36}, 6, header).Passed) << "no VPD pages";
  EXPECT_EQ(system_.Faults().FiredCount(0), 0u);
  EXPECT_FALSE(In({0x12, 0, 0, 0, 36}, 6, header).Passed) << "the armed fault does work";
}

TEST_F(ScsiTargetTest, OnlyTheAllPagesModeSenseIsAnswered) {
  Load("qv40714-winbond", true);
  std::vector<std::uint8_t> data(32, 0);
  EXPECT_FALSE(In({0x1A, 0, 0x08, 0, 32}, 6, data).Passed);
  EXPECT_EQ(SenseOf(RequestSense()), kInvalidFieldInCdb);
}

TEST_F(ScsiTargetTest, ACdromClassBridgeWithoutMediumIsNotReady) {
  Load("qvk926-sst", false);
  EXPECT_FALSE(NoData({0x00}, 6).Passed);
  EXPECT_EQ(SenseOf(RequestSense()), kMediumNotPresent);
  std::vector<std::uint8_t> data(8, 0);
  EXPECT_FALSE(In({0x25}, 10, data).Passed) << "READ CAPACITY";
  EXPECT_EQ(SenseOf(RequestSense()), kMediumNotPresent);
  std::vector<std::uint8_t> inquiry(36, 0);
  ASSERT_TRUE(In({0x12, 0, 0, 0, 36}, 6, inquiry).Passed);
  EXPECT_EQ(inquiry[0] & 0x1F, 0x05) << "the kernel sees a CD-ROM";
}

TEST_F(ScsiTargetTest, TheAttachedDiskAnswersCapacityReadsAndWrites) {
  Load("qv40714-winbond", true);
  std::vector<std::uint8_t> capacity(8, 0);
  ASSERT_TRUE(In({0x25}, 10, capacity).Passed);
  EXPECT_EQ(capacity, (std::vector<std::uint8_t>{0, 0, 0x07, 0xFF, 0, 0, 0x02, 0x00}));

  std::vector<std::uint8_t> sector(512);
  for (std::size_t i = 0; i < sector.size(); ++i) {
    sector[i] = static_cast<std::uint8_t>(i * 7);
  }
  ASSERT_TRUE(target_->Execute({0x2A, 0, 0, 0, 0, 5, 0, 0, 1}, 10, false, sector).Passed);
  std::vector<std::uint8_t> back(512, 0);
  const ScsiOutcome outcome = In({0x28, 0, 0, 0, 0, 5, 0, 0, 1}, 10, back);
  ASSERT_TRUE(outcome.Passed);
  EXPECT_EQ(outcome.Transferred, 512u);
  EXPECT_EQ(back, sector);
  EXPECT_FALSE(NoData({0x9E, 0x10}, 16).Passed) << "READ CAPACITY(16) is left to the 10-byte form";
  EXPECT_EQ(SenseOf(RequestSense()), kInvalidOpcode);
}

TEST_F(ScsiTargetTest, TheFlashStaysBusyForRealTimeNotForCommandCount) {
  Load("qv40714-winbond", true);
  ASSERT_TRUE(NoData({0xFF, 0x04, 0x14, 0x00, 0x00, 0x00}).Passed) << "sector erase at 0";
  std::vector<std::uint8_t> status(2, 0);
  for (int poll = 0; poll < 50; ++poll) {
    ASSERT_TRUE(In({0xFF, 0x04, 0x12}, 12, status).Passed);
    ASSERT_EQ(status[0] & 0x01, 0x01) << "busy while no real time passes, poll " << poll;
  }
  realUs_ += 10'000'000;  // the host waits ten seconds
  ASSERT_TRUE(In({0xFF, 0x04, 0x12}, 12, status).Passed);
  EXPECT_EQ(status[0] & 0x01, 0x00);
  EXPECT_EQ(enclosure_->Bridge.Flash->Contents()[0], 0xFF);
}

}  // namespace
}  // namespace q71x::gadget
