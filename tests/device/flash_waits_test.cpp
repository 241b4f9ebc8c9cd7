// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "src/device/chip_mode_flag.h"
#include "src/device/flash_unprotect.h"
#include "src/device/flash_waits.h"
#include "tests/device/command_test_helpers.h"

namespace q71x {
namespace {

using testing::Cdb12;
using testing::kBridgePath;
using testing::Reply;
using testing::ScriptedReply;
using testing::StatusSequence;

class FlashWaitTest : public testing::CommandTest {
 protected:
  std::size_t StatusReads() const {
    return testing::CommandsStartingWith(platform, {0xFF, 0x04, 0x12}).size();
  }
};

// Reads before re-read number `reRead` answer `before`, that one and later ones `after`.
testing::ScriptedPlatform::Responder StatusChangesAt(int reRead, std::uint8_t before,
                                                     std::uint8_t after) {
  return StatusSequence([=](int n) { return Reply({n < reRead ? before : after}); });
}

struct WaitCase {
  const char* Name;
  int (*Wait)(const std::string&);
  std::uint8_t Unmet;
  std::uint8_t Met;
  int Limit;
};

int WaitLatch(const std::string& path) {
  return WaitFlashStatusSet(path, 0x02);
}

const WaitCase kWaits[] = {
    {"WaitFlashStatusSet 02", WaitLatch, 0x01, 0x03, 300},
    {"WaitFlashIdle", WaitFlashIdle, 0x02, 0x01, 300},
    {"WaitFlashIdle on write in progress", WaitFlashIdle, 0x04, 0x00, 300},
    {"WaitFlashReady", WaitFlashReady, 0x03, 0x02, 500},
};

TEST_F(FlashWaitTest, ConditionMetAtFirstReadNeedsNoSleep) {
  for (const WaitCase& wait : kWaits) {
    SCOPED_TRACE(wait.Name);
    platform.ClearCommands();
    platform.SetResponder(StatusChangesAt(0, wait.Unmet, wait.Met));
    const auto before = platform.NowMs();
    EXPECT_EQ(1, wait.Wait(kBridgePath));
    EXPECT_EQ(1u, StatusReads());
    EXPECT_EQ(before, platform.NowMs());
  }
}

TEST_F(FlashWaitTest, ConditionMetOnTheLastAllowedReReadPasses) {
  for (const WaitCase& wait : kWaits) {
    SCOPED_TRACE(wait.Name);
    platform.ClearCommands();
    platform.SetResponder(StatusChangesAt(wait.Limit, wait.Unmet, wait.Met));
    const auto before = platform.NowMs();
    EXPECT_EQ(1, wait.Wait(kBridgePath));
    EXPECT_EQ(static_cast<std::size_t>(wait.Limit + 1), StatusReads());
    EXPECT_EQ(static_cast<std::uint64_t>(wait.Limit) * 10, platform.NowMs() - before);
  }
}

TEST_F(FlashWaitTest, ConditionMetOneReReadTooLateFails) {
  for (const WaitCase& wait : kWaits) {
    SCOPED_TRACE(wait.Name);
    platform.ClearCommands();
    platform.SetResponder(StatusChangesAt(wait.Limit + 1, wait.Unmet, wait.Met));
    EXPECT_EQ(0, wait.Wait(kBridgePath));
    EXPECT_EQ(static_cast<std::size_t>(wait.Limit + 2), StatusReads());
  }
}

TEST_F(FlashWaitTest, StuckFlashIsGivenUpAfterTwoReadsPastTheLimit) {
  for (const WaitCase& wait : kWaits) {
    SCOPED_TRACE(wait.Name);
    platform.ClearCommands();
    // Even a condition met on the very last read made does not turn the wait into a success.
    platform.SetResponder(StatusChangesAt(wait.Limit + 2, wait.Unmet, wait.Met));
    const auto before = platform.NowMs();
    EXPECT_EQ(0, wait.Wait(kBridgePath));
    EXPECT_EQ(static_cast<std::size_t>(wait.Limit + 3), StatusReads());
    EXPECT_EQ(static_cast<std::uint64_t>(wait.Limit + 2) * 10, platform.NowMs() - before);
    for (std::uint32_t ms : platform.Sleeps()) {
      EXPECT_EQ(10u, ms);
    }
  }
}

TEST_F(FlashWaitTest, FailedReadsKeepTheLastStatusSeen) {
  // Busy once, then every read fails: the transport zero-fills the failed reads, which must not
  // be mistaken for a ready flash.
  platform.SetResponder(
      StatusSequence([](int n) { return n == 0 ? Reply({0x01}) : testing::Failed(); }));
  EXPECT_EQ(0, WaitFlashReady(kBridgePath));
  EXPECT_EQ(502u * 10, platform.NowMs());

  // A latch seen once stays seen while later reads fail.
  platform.ClearCommands();
  platform.SetResponder(StatusSequence([](int n) {
    return n < 3 ? Reply({0x00}) : n == 3 ? Reply({0x02}) : testing::Failed();
  }));
  EXPECT_EQ(1, WaitFlashStatusSet(kBridgePath, 0x02));
  EXPECT_EQ(4u, StatusReads());
}

TEST_F(FlashWaitTest, BridgeRejectingEveryStatusRead) {
  // The byte never leaves 00: idle at once, the latch never.
  platform.SetResponder([](const auto&) { return testing::Failed(); });
  EXPECT_EQ(1, WaitFlashIdle(kBridgePath));
  EXPECT_EQ(0, WaitFlashStatusSet(kBridgePath, 0x02));
}

TEST_F(FlashWaitTest, UnprotectRunsEveryStepAndReportsAnyFailure) {
  struct Case {
    const char* Name;
    bool LatchComes;
    bool FailWriteEnable;
    bool FailClear;
    bool StaysBusy;
    int Expected;
  };
  const Case cases[] = {
      {"all well", true, false, false, false, 1},
      {"latch never comes", false, false, false, false, 0},
      {"write enable refused", true, true, false, false, 0},
      {"status write refused", true, false, true, false, 0},
      {"never idle", true, false, false, true, 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Name);
    platform.ClearCommands();
    bool cleared = false;
    platform.SetResponder([&](const testing::RecordedCommand& c) {
      if (testing::CdbStartsWith(c, {0xFF, 0x04, 0x12})) {
        if (!cleared) {
          return Reply({static_cast<std::uint8_t>(test.LatchComes ? 0x02 : 0x00)});
        }
        return Reply({static_cast<std::uint8_t>(test.StaysBusy ? 0x02 : 0x00)});
      }
      if (testing::CdbStartsWith(c, {0xFF, 0x04, 0x20, 0x01, 0x00, 0x06})) {
        return test.FailWriteEnable ? testing::Failed() : ScriptedReply{};
      }
      if (testing::CdbStartsWith(c, {0xFF, 0x04, 0x20, 0x02, 0x00, 0x01})) {
        cleared = true;
        return test.FailClear ? testing::Failed() : ScriptedReply{};
      }
      return ScriptedReply{};
    });
    EXPECT_EQ(test.Expected, UnprotectSerialFlash(kBridgePath));
    const auto& commands = platform.Commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(Cdb12({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06}), commands.front().Cdb);
    const auto clears = testing::CommandsStartingWith(platform, {0xFF, 0x04, 0x20, 0x02});
    EXPECT_EQ(1u, clears.size());  // sent whatever the latch did
    EXPECT_TRUE(testing::CdbStartsWith(commands.back(), {0xFF, 0x04, 0x12}));
  }
}

TEST_F(FlashWaitTest, ChipModeFlag) {
  struct Case {
    ScriptedReply Answer;
    int Expected;
  };
  const Case cases[] = {
      {Reply({0x00, 0x00, 0x01, 0x00}), 1},
      {Reply({0xFF, 0x00, 0x01, 0xFF}), 1},
      {Reply({0x00, 0x01, 0x00, 0x00}), 0},
      {Reply({0x00, 0x00, 0x00, 0x00}), 0},
      {ScriptedReply{false, 0x45D, {0x00, 0x00, 0x01, 0x00}, 4}, 0},
  };
  for (const Case& test : cases) {
    platform.ClearCommands();
    platform.SetResponder([&](const auto&) { return test.Answer; });
    EXPECT_EQ(test.Expected, CheckChipModeFlag(kBridgePath));
    ASSERT_EQ(1u, platform.Commands().size());
    const auto& c = platform.Commands()[0];
    EXPECT_EQ(Cdb12({0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0x50, 0x5E, 0, 0, 0, 0xFD}), c.Cdb);
    EXPECT_EQ(1, c.Record.DataIn);
    EXPECT_EQ(4u, c.Record.DataTransferLength);
  }
}

}  // namespace
}  // namespace q71x
