// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/transport.h"

#include <gtest/gtest.h>

#include "src/device/aligned_buffer.h"
#include "tests/support/scripted_platform.h"

namespace q71x {
namespace {

using testing::ScriptedPlatform;
using testing::ScriptedReply;

const std::string kPath = "\\\\?\\usbstor#disk&ven_test#1";

CommandBlock Block(std::initializer_list<std::uint8_t> bytes, std::uint8_t length = 12) {
  CommandBlock cdb(length);
  std::size_t i = 0;
  for (auto b : bytes) {
    cdb[i++] = b;
  }
  return cdb;
}

class TransportTest : public ::testing::Test {
 protected:
  ScriptedPlatform platform;
  ScopedActivePlatform scope{platform};
};

TEST_F(TransportTest, DataInRecordFieldsAndOneByteRule) {
  platform.SetResponder([](const auto&) { return ScriptedReply{true, 0, {0x5A, 0x77}, 2}; });
  std::uint8_t reply[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  std::uint32_t transferred = 99;
  ASSERT_EQ(1, PassThroughIn(kPath, Block({0xFF, 0x04, 0x12}), reply, 1, &transferred));

  ASSERT_EQ(1u, platform.Commands().size());
  const auto& c = platform.Commands()[0];
  EXPECT_EQ(kPath, c.Path);
  EXPECT_EQ(AccessMode::SharedReadWrite, c.Mode);
  EXPECT_EQ(44, c.Record.Length);
  EXPECT_EQ(0, c.Record.PathId);
  EXPECT_EQ(1, c.Record.TargetId);
  EXPECT_EQ(0, c.Record.Lun);
  EXPECT_EQ(12, c.Record.CdbLength);
  EXPECT_EQ(0, c.Record.SenseInfoLength);
  EXPECT_EQ(1, c.Record.DataIn);
  EXPECT_EQ(2u, c.Record.DataTransferLength);  // 1 byte goes on the wire as 2
  EXPECT_EQ(10u, c.Record.TimeOutValue);
  EXPECT_EQ(48u, c.Record.SenseInfoOffset);
  EXPECT_TRUE(c.HadDataBuffer);
  EXPECT_EQ((std::vector<std::uint8_t>{0xFF, 0x04, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0}), c.Cdb);
  for (int i = 12; i < 16; ++i) {
    EXPECT_EQ(0, c.Record.Cdb[i]);
  }
  // Exactly one byte comes back to the caller.
  EXPECT_EQ(0x5A, reply[0]);
  EXPECT_EQ(0xEE, reply[1]);
  EXPECT_EQ(2u, transferred);
  EXPECT_EQ(platform.OpenCount(), platform.CloseCount());
}

TEST_F(TransportTest, DataBufferIsAligned) {
  std::uintptr_t seen = 0;
  platform.SetResponder([&](const auto&) { return ScriptedReply{}; });
  // Capture the address the backend was handed through a custom responder on the record.
  struct AddressProbe : ScriptedPlatform {
    std::uintptr_t* out;
    bool SendPassThrough(DeviceHandle h, PassThroughRecord& r) override {
      *out = reinterpret_cast<std::uintptr_t>(r.DataBuffer) |
             (reinterpret_cast<std::uintptr_t>(&r) & (kBufferAlignment - 1));
      return ScriptedPlatform::SendPassThrough(h, r);
    }
  } probe;
  probe.out = &seen;
  ScopedActivePlatform inner(probe);
  std::uint8_t buffer[512];
  ASSERT_EQ(1, PassThroughIn(kPath, Block({0x12}), buffer, sizeof buffer));
  EXPECT_NE(0u, seen);
  EXPECT_EQ(0u, seen % kBufferAlignment);
}

TEST_F(TransportTest, DataOutSendsCopyAndPadsOneByte) {
  const std::uint8_t one = 0xA5;
  ASSERT_EQ(1, PassThroughOut(kPath, Block({0xDF, 0x00, 0x00, 0x00, 0x01}), &one, 1));
  const auto& c = platform.Commands().at(0);
  EXPECT_EQ(AccessMode::ExclusiveReadWrite, c.Mode);
  EXPECT_EQ(0, c.Record.DataIn);
  EXPECT_EQ((std::vector<std::uint8_t>{0xA5, 0x00}), c.DataOut);
  EXPECT_EQ(50u, c.Record.TimeOutValue);
}

TEST_F(TransportTest, ZeroLengthSendsNullBufferBothWays) {
  ASSERT_EQ(1, PassThroughOut(kPath, Block({0xFF, 0x04, 0x05}), nullptr, 0));
  ASSERT_EQ(1, PassThroughIn(kPath, Block({0xFF, 0x04, 0x20}), nullptr, 0));
  for (const auto& c : platform.Commands()) {
    EXPECT_FALSE(c.HadDataBuffer);
    EXPECT_EQ(0u, c.Record.DataTransferLength);
  }
}

TEST_F(TransportTest, TimeoutRuleLooksOnlyAtBlockBytes) {
  struct Case {
    CommandBlock cdb;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {Block({0xFF, 0x04, 0x13}), 100},                             // chip erase
      {Block({0x2A, 0x00, 0x13, 0x00, 0x00, 0x10}, 10), 100},       // any byte-2 0x13
      {Block({0xDF, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFB}), 100},  // DF write mode 03
      {Block({0xDF, 0x83, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFB}), 50},   // mode 83
      {Block({0xDF, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFE}), 50},   // not a flash write
      {Block({0xFF, 0x04, 0x14}), 50},
  };
  for (const auto& test : cases) {
    platform.ClearCommands();
    PassThroughOut(kPath, test.cdb, nullptr, 0);
    EXPECT_EQ(test.expected, platform.Commands().at(0).Record.TimeOutValue);
  }
  // A data-in block that looks like a chip erase still gets 10 seconds.
  platform.ClearCommands();
  std::uint8_t b[2];
  PassThroughIn(kPath, Block({0xFF, 0x04, 0x13}), b, 2);
  EXPECT_EQ(10u, platform.Commands().at(0).Record.TimeOutValue);
}

TEST_F(TransportTest, SuccessWithPendingErrorCodeFails) {
  platform.SetResponder([](const auto&) { return ScriptedReply{true, 31, {}, -1}; });
  std::uint8_t b[4];
  EXPECT_EQ(0, PassThroughIn(kPath, Block({0x12}), b, 4));
  EXPECT_EQ(0, PassThroughOut(kPath, Block({0xFF, 0x04, 0x05}), nullptr, 0));
}

TEST_F(TransportTest, FailedReadStillOverwritesCallerBuffer) {
  platform.SetResponder([](const auto&) { return ScriptedReply{false, 1117, {0x11}, 1}; });
  std::uint8_t b[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  std::uint32_t transferred = 77;
  EXPECT_EQ(0, PassThroughIn(kPath, Block({0x12}), b, 4, &transferred));
  EXPECT_EQ((std::vector<std::uint8_t>{0x11, 0, 0, 0}), std::vector<std::uint8_t>(b, b + 4));
  EXPECT_EQ(1u, transferred);
}

// A bridge that sends fewer bytes than asked for is answered with zeros in their place; a read
// that takes those zeros for data would pass them on as flash or disk bytes.
TEST_F(TransportTest, ReadThatMovesFewerBytesThanAskedForFails) {
  platform.SetResponder([](const auto&) { return ScriptedReply{true, 0, {0x11, 0x22}, 2}; });
  std::uint8_t b[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  std::uint32_t transferred = 0;
  EXPECT_EQ(0, PassThroughIn(kPath, Block({0xFF, 0x04, 0x10}), b, 4, &transferred));
  EXPECT_EQ((std::vector<std::uint8_t>{0x11, 0x22, 0, 0}), std::vector<std::uint8_t>(b, b + 4));
  EXPECT_EQ(2u, transferred);
  ASSERT_EQ(1u, platform.DebugLines().size());
  EXPECT_EQ("Command FF: good; 2 of 4 bytes moved\n", platform.DebugLines()[0]);

  // Replies whose length the device decides take what came; so does a write, judged by reading
  // it back; and a 1-byte read is whole with the one byte it asked for.
  EXPECT_EQ(1, PassThroughInUpTo(kPath, Block({0x12}), b, 4, &transferred));
  EXPECT_EQ(1, PassThroughOut(kPath, Block({0xFF, 0x04, 0x11}), b, 4));
  platform.SetResponder([](const auto&) { return ScriptedReply{true, 0, {0x5A}, 1}; });
  EXPECT_EQ(1, PassThroughIn(kPath, Block({0xFF, 0x04, 0x12}), b, 1));
  EXPECT_EQ(1u, platform.DebugLines().size());
}

TEST_F(TransportTest, OutcomeSaysWhyAndTheDebuggerOutputNamesTheSense) {
  PassThroughOutcome refused;
  refused.Result = PassThroughResult::CheckCondition;
  refused.ScsiStatus = 0x02;
  const std::uint8_t sense[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x21, 0x00};
  SetSense(refused, sense, sizeof sense);
  // The platform carried the request out; the device's status still says it did nothing.
  platform.SetResponder([](const auto&) { return ScriptedReply{true, 0, {}, 0}; });
  platform.SetOutcome(refused);
  std::uint8_t b[8];
  PassThroughOutcome outcome;
  EXPECT_EQ(0, PassThroughIn(kPath, Block({0x88}, 16), b, 8, nullptr, &outcome));
  EXPECT_TRUE(IsLbaOutOfRange(outcome));
  ASSERT_EQ(1u, platform.DebugLines().size());
  EXPECT_EQ(
      "Command 88: check condition, sense key 05 (ILLEGAL REQUEST), ASC 21 ASCQ 00, sense 70 00 "
      "05 00 00 00 00 0A 00 00 00 00 21 00 00 00 00 00; 0 of 8 bytes moved\n",
      platform.DebugLines()[0]);

  // A backend that fails without saying why leaves its error code as the reason.
  platform.SetOutcome(PassThroughOutcome{});
  platform.SetResponder([](const auto&) { return ScriptedReply{false, 1167, {}, 0}; });
  EXPECT_EQ(0, PassThroughOut(kPath, Block({0xFF}), nullptr, 0, nullptr, &outcome));
  EXPECT_EQ(PassThroughResult::OsError, outcome.Result);
  EXPECT_EQ(1167u, outcome.ErrorCode);
  EXPECT_FALSE(IsLbaOutOfRange(outcome));
}

TEST_F(TransportTest, UnopenablePathTouchesNothing) {
  platform.FailOpen(kPath);
  std::uint8_t b[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  std::uint32_t transferred = 77;
  EXPECT_EQ(0, PassThroughIn(kPath, Block({0x12}), b, 4, &transferred));
  EXPECT_EQ(0, PassThroughOut(kPath, Block({0xFF}), b, 4, &transferred));
  EXPECT_EQ(77u, transferred);
  EXPECT_EQ(0xEE, b[0]);
  EXPECT_TRUE(platform.Commands().empty());
}

TEST_F(TransportTest, DeviceNumberQueryOpensWithoutAccess) {
  platform.SetDeviceNumber("\\\\.\\E:", {7, 3, 1});
  StorageDeviceNumber number;
  ASSERT_EQ(1, GetDeviceNumber("\\\\.\\E:", number));
  EXPECT_EQ(7u, number.DeviceType);
  EXPECT_EQ(3u, number.DeviceNumber);
  EXPECT_EQ(0, GetDeviceNumber("\\\\.\\F:", number));
}

TEST(AlignedBufferTest, AlignsAndZeroFills) {
  AlignedBuffer buffer(10000);
  ASSERT_TRUE(buffer.ok());
  EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(buffer.data()) % kBufferAlignment);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    ASSERT_EQ(0, buffer[i]);
  }
  EXPECT_EQ(0x4000u, AlignUp(0x2001, 0x2000));
  EXPECT_EQ(0x2000u, AlignUp(0x2000, 0x2000));
  AlignedBuffer huge(static_cast<std::size_t>(-1) - 100);
  EXPECT_FALSE(huge.ok());
  FreeBuffer(nullptr);
}

}  // namespace
}  // namespace q71x
