// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <sstream>

#include "src/catalog/chip_tables.h"
#include "src/device/discovery.h"
#include "src/device/flash_commands.h"
#include "src/device/identification.h"
#include "src/device/platform/forwarding_platform.h"
#include "src/device/platform/trace/recording_platform.h"
#include "src/device/platform/trace/replay_platform.h"
#include "src/device/transport.h"
#include "tests/support/cdb_script.h"
#include "tests/support/recording_dialogs.h"

namespace q71x::trace {
namespace {

using testing::CdbScript;
using testing::ScriptedPlatform;
using testing::ScriptedReply;

const std::string kPath = "\\\\?\\usbstor#disk&ven_q&prod_bridge#7";

struct Session {
  std::uint16_t identity = 0;
  std::string letters;
  std::vector<std::string> disks;
};

Session RunSession() {
  Session s;
  DevicePathSlots slots;
  EnumerateDiskInterfaces(slots, 1);
  s.disks = slots;
  s.identity = IdentifyChip(kPath);
  FindVolumeLetters(kPath, s.letters);
  return s;
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::uint8_t> inquiry(40, 0);
    const std::string code = "q713";
    std::copy(code.begin(), code.end(), inquiry.begin() + 36);
    std::vector<std::uint8_t> chipInfo = testing::TextBytes("q713E");
    chipInfo.push_back(3);
    script.On({0x12}, ScriptedReply{true, 0, inquiry, 40});
    script.On({0xFF, 0x04, 0x30}, ScriptedReply{true, 0, chipInfo, 40});
    script.Attach(device);
    device.SetInterfaces(InterfaceClass::Disk, {kPath});
    device.SetDeviceNumber(kPath, {7, 4, 0});
    device.SetDeviceNumber("\\\\.\\G:", {7, 4, 1});
    device.SetVolumes({VolumeInfo{"G", "\\\\.\\G:", false, false}});
  }

  ScriptedPlatform device;
  CdbScript script;
  testing::RecordingDialogs dialogs;
};

TEST_F(TraceTest, ReplayOfARecordingGivesTheSameAnswers) {
  std::stringstream trace;
  Session live;
  {
    RecordingPlatform recorder(device, trace);
    ScopedActivePlatform scope(recorder);
    live = RunSession();
  }
  EXPECT_EQ(14, IdentityType(live.identity));
  EXPECT_EQ(4, IdentityRevision(live.identity));
  EXPECT_EQ("G", live.letters);

  ReplayPlatform replay;
  ASSERT_TRUE(replay.Load(trace)) << (replay.ParseErrors().empty() ? "" : replay.ParseErrors()[0]);
  ScopedActivePlatform scope(replay);
  const Session replayed = RunSession();
  EXPECT_EQ(live.identity, replayed.identity);
  EXPECT_EQ(live.letters, replayed.letters);
  EXPECT_EQ(live.disks, replayed.disks);
  EXPECT_TRUE(replay.Unmatched().empty());
  EXPECT_EQ(0u, replay.UnusedExchanges());
}

// The limit the system reported decides how a transfer was cut; the replay reports it again, so
// the same pieces are asked for and each finds its recorded answer.
TEST_F(TraceTest, TheReportedTransferLimitIsRecordedAndReplayed) {
  class SmallTransfers final : public ForwardingPlatform {
   public:
    using ForwardingPlatform::ForwardingPlatform;
    std::uint32_t MaxTransferBytes(const std::string&) override { return 4096; }
  } limited(device);
  script.On({0xFF, 0x04, 0x10},
            ScriptedReply{true, 0, std::vector<std::uint8_t>(4096, 0xA5), 4096});
  std::stringstream trace;
  std::vector<std::uint8_t> area(8192);
  {
    RecordingPlatform recorder(limited, trace);
    ScopedActivePlatform scope(recorder);
    ASSERT_EQ(1, ReadFlashBlock(kPath, 0, area.data(), 8192));
  }
  ReplayPlatform replay;
  ASSERT_TRUE(replay.Load(trace));
  EXPECT_EQ(4096u, replay.MaxTransferBytes(kPath));
  ScopedActivePlatform scope(replay);
  EXPECT_EQ(1, ReadFlashBlock(kPath, 0, area.data(), 8192));
  EXPECT_TRUE(replay.Unmatched().empty());
  EXPECT_EQ(0u, replay.UnusedExchanges());
  EXPECT_EQ(std::vector<std::uint8_t>(8192, 0xA5), area);
}

TEST_F(TraceTest, UnseenExchangeFailsAndIsListed) {
  std::stringstream trace;
  {
    RecordingPlatform recorder(device, trace);
    ScopedActivePlatform scope(recorder);
    IdentifyChip(kPath);
  }
  ReplayPlatform replay;
  ASSERT_TRUE(replay.Load(trace));
  ScopedActivePlatform scope(replay);
  std::uint8_t reply[4] = {};
  EXPECT_EQ(0, ReadChipMemory(kPath, 0x505E, reply, 4));
  ASSERT_EQ(1u, replay.Unmatched().size());
  EXPECT_NE(std::string::npos, replay.Unmatched()[0].find("df100000040050"));
  // A recorded request answers once: a second identical one is unseen too.
  EXPECT_NE(0, IdentityType(IdentifyChip(kPath)));
  EXPECT_EQ(0, IdentityType(IdentifyChip(kPath)));
}

TEST_F(TraceTest, WithoutDataKeepsTheCommandsButNoBytesAndIsRefusedForReplay) {
  std::stringstream trace;
  {
    RecordingPlatform recorder(device, trace, TraceContent::WithoutData);
    ScopedActivePlatform scope(recorder);
    ASSERT_EQ(14, IdentityType(IdentifyChip(kPath)));
  }
  const std::string text = trace.str();
  // The answers' bytes ("q713" in the INQUIRY data, "q713E" in the chip information) stay out.
  EXPECT_EQ(std::string::npos, text.find(ToHex(std::string("q713"))));
  std::istringstream lines(text);
  std::string line;
  int exchanges = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("PT ", 0) != 0) {
      continue;
    }
    ++exchanges;
    std::istringstream fields(line);
    std::string tag, path, cdb, direction, length, timeout, dataOut, ok, error, moved, dataIn;
    fields >> tag >> path >> cdb >> direction >> length >> timeout >> dataOut >> ok >> error >>
        moved >> dataIn;
    EXPECT_EQ("*", dataOut) << line;
    EXPECT_EQ("*", dataIn) << line;
    EXPECT_NE("-", cdb) << line;
    EXPECT_NE("0", length) << line;
    EXPECT_EQ("1", ok) << line;
  }
  EXPECT_GE(exchanges, 2);

  ReplayPlatform replay;
  EXPECT_FALSE(replay.Load(trace));
  ASSERT_EQ(1u, replay.ParseErrors().size());
  EXPECT_NE(std::string::npos, replay.ParseErrors()[0].find("recorded without data"));
  // Used all the same, it answers nothing instead of made-up bytes.
  ScopedActivePlatform scope(replay);
  EXPECT_EQ(0, IdentityType(IdentifyChip(kPath)));
}

TEST(TraceFormatTest, RejectsForeignOrBrokenTraces) {
  std::stringstream foreign("hello\n");
  ReplayPlatform a;
  EXPECT_FALSE(a.Load(foreign));
  std::stringstream broken(std::string(kTraceHeader) + "\nPT zz 12 1 4 10 - 1 0 4 -\n");
  ReplayPlatform b;
  EXPECT_FALSE(b.Load(broken));
  EXPECT_EQ(1u, b.ParseErrors().size());

  PassThroughExchange e;
  e.Path = "a path with blanks";
  e.Cdb = {0xFF, 0x04, 0x11};
  e.DataOut = {1, 2, 3};
  e.Length = 3;
  e.Timeout = 50;
  e.Ok = true;
  const auto parsed = ParsePassThrough(FormatPassThrough(e));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(e.Path, parsed->Path);
  EXPECT_EQ(e.Cdb, parsed->Cdb);
  EXPECT_EQ(e.DataOut, parsed->DataOut);
  EXPECT_TRUE(parsed->DataInBytes.empty());
}

// A recording keeps why a command failed, so the replay fails it for the same reason; a line
// from a recording made before the reason was kept still reads.
TEST(TraceFormatTest, OutcomeOfACommandSurvivesTheRecording) {
  ScriptedPlatform inner;
  PassThroughOutcome refused;
  refused.Result = PassThroughResult::CheckCondition;
  refused.ScsiStatus = 0x02;
  const std::uint8_t sense[] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x21, 0x00};
  SetSense(refused, sense, sizeof sense);
  inner.SetResponder([](const auto&) { return ScriptedReply{true, 0, {}, 0}; });
  inner.SetOutcome(refused);
  std::stringstream recording;
  std::uint8_t buffer[16];
  {
    RecordingPlatform recorder(inner, recording);
    ScopedActivePlatform scope(recorder);
    EXPECT_EQ(0, PassThroughIn(kPath, CommandBlock(16), buffer, sizeof buffer));
  }

  ReplayPlatform replay;
  ASSERT_TRUE(replay.Load(recording));
  ScopedActivePlatform scope(replay);
  PassThroughOutcome outcome;
  EXPECT_EQ(0, PassThroughIn(kPath, CommandBlock(16), buffer, sizeof buffer, nullptr, &outcome));
  EXPECT_TRUE(IsLbaOutOfRange(outcome));
  EXPECT_EQ(0x02, outcome.ScsiStatus);

  const auto old = ParsePassThrough("PT 61 12 1 4 10 - 0 121 0 -");
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(PassThroughResult::OsError, old->Outcome.Result);
  EXPECT_FALSE(ParsePassThrough("PT 61 12 1 4 10 - 1 0 4 - sideways 0 -").has_value());
  EXPECT_FALSE(ParsePassThrough("PT 61 12 1 4 10 - 1 0 4 - check 2 zz").has_value());
}

}  // namespace
}  // namespace q71x::trace
