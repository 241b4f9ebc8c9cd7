// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <functional>

#include "src/catalog/parallel_part_table.h"
#include "src/device/df_commands.h"
#include "src/device/flash_commands.h"
#include "src/device/parallel_flash_commands.h"
#include "tests/device/command_test_helpers.h"

namespace q71x {
namespace {

using testing::ByteVector;
using testing::Cdb12;
using testing::kBridgePath;
using testing::ScriptedReply;

struct LayoutCase {
  const char* Name;
  std::function<int()> Send;
  ByteVector Cdb;
  std::uint8_t DataIn;
  std::uint32_t WireLength;
  std::uint32_t TimeoutSeconds;
  ByteVector DataOut;  // checked for data-out commands that carry data
};

const std::uint8_t kPayload[4] = {0xDE, 0xAD, 0xBE, 0xEF};
std::uint8_t gReadArea[600];

void ExpectLayouts(testing::ScriptedPlatform& platform, const std::vector<LayoutCase>& cases) {
  for (const LayoutCase& test : cases) {
    SCOPED_TRACE(test.Name);
    platform.ClearCommands();
    EXPECT_EQ(1, test.Send());
    ASSERT_EQ(1u, platform.Commands().size());
    const auto& c = platform.Commands()[0];
    EXPECT_EQ(kBridgePath, c.Path);
    EXPECT_EQ(test.Cdb, c.Cdb);
    EXPECT_EQ(test.DataIn, c.Record.DataIn);
    EXPECT_EQ(test.WireLength, c.Record.DataTransferLength);
    EXPECT_EQ(test.TimeoutSeconds, c.Record.TimeOutValue);
    EXPECT_EQ(test.WireLength != 0, c.HadDataBuffer);
    if (test.DataIn == 0 && !test.DataOut.empty()) {
      EXPECT_EQ(test.DataOut, c.DataOut);
    }
  }
}

using FlashCommandTest = testing::CommandTest;

TEST_F(FlashCommandTest, SerialFlashBlocksDirectionsLengthsAndTimeouts) {
  std::uint8_t status = 0;
  const auto& p = kBridgePath;
  ExpectLayouts(platform,
                {
                    {"ReadFlashBlock",
                     [&] { return ReadFlashBlock(p, 0x012345, gReadArea, 512); },
                     Cdb12({0xFF, 0x04, 0x10, 0x01, 0x23, 0x45}),
                     1,
                     512,
                     10,
                     {}},
                    {"WriteFlashBlock", [&] { return WriteFlashBlock(p, 0xABCDEF, kPayload, 4); },
                     Cdb12({0xFF, 0x04, 0x11, 0xAB, 0xCD, 0xEF}), 0, 4, 50,
                     ByteVector(kPayload, kPayload + 4)},
                    {"ReadFlashStatus",
                     [&] { return ReadFlashStatus(p, status); },
                     Cdb12({0xFF, 0x04, 0x12}),
                     1,
                     2,
                     10,
                     {}},
                    {"EraseFlashChip",
                     [&] { return EraseFlashChip(p); },
                     Cdb12({0xFF, 0x04, 0x13}),
                     0,
                     0,
                     100,
                     {}},
                    {"EraseFlashSector",
                     [&] { return EraseFlashSector(p, 0x018000); },
                     Cdb12({0xFF, 0x04, 0x14, 0x01, 0x80, 0x00}),
                     0,
                     0,
                     50,
                     {}},
                    {"PrepareFlashWrite",
                     [&] { return PrepareFlashWrite(p); },
                     Cdb12({0xFF, 0x04, 0x25}),
                     0,
                     0,
                     50,
                     {}},
                    {"FlashWriteEnable",
                     [&] { return FlashWriteEnable(p); },
                     Cdb12({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06}),
                     0,
                     0,
                     50,
                     {}},
                    {"ClearFlashProtection",
                     [&] { return ClearFlashProtection(p); },
                     Cdb12({0xFF, 0x04, 0x20, 0x02, 0x00, 0x01}),
                     0,
                     2,
                     50,
                     {0x01, 0x00}},
                    {"SpiCommandOut",
                     [&] {
                       return SpiCommandOut(p, {0x07, 0x00, 1, 2, 3, 4, 5, 6, 7});
                     },
                     {0xFF, 0x04, 0x20, 0x07, 0x00, 1, 2, 3, 4, 5, 6, 7},
                     0,
                     0,
                     50,
                     {}},
                    {"SpiDataOut",
                     [&] { return SpiDataOut(p, kPayload, 3); },
                     Cdb12({0xFF, 0x04, 0x22}),
                     0,
                     3,
                     50,
                     {0xDE, 0xAD, 0xBE}},
                });
}

TEST_F(FlashCommandTest, ParallelFlashBlocksAndSequencesPerPart) {
  const auto& p = kBridgePath;
  const ByteVector eraseJedec = {0x55, 0x55, 0xAA, 0x2A, 0x55, 0x55, 0x55, 0x55, 0xAA,
                                 0x2A, 0x55, 0x55, 0xAA, 0x55, 0x80, 0xAA, 0x55, 0x10};
  const ByteVector erasePmc = {0x55, 0x05, 0xAA, 0x02, 0x55, 0x05, 0x55, 0x05, 0xAA,
                               0x02, 0x55, 0x05, 0xAA, 0x55, 0x80, 0xAA, 0x55, 0x10};
  ExpectLayouts(
      platform,
      {
          {"ParallelFlashEnable",
           [&] { return ParallelFlashEnable(p); },
           Cdb12({0xFF, 0x04, 0x05}),
           0,
           0,
           50,
           {}},
          {"ParallelFlashStart",
           [&] { return ParallelFlashStart(p); },
           Cdb12({0xFF, 0x04, 0x01}),
           0,
           0,
           50,
           {}},
          // The one address written low byte first.
          {"ReadParallelFlash",
           [&] { return ReadParallelFlash(p, 0x00012345, gReadArea, 64); },
           Cdb12({0xFF, 0x04, 0x03, 0x45, 0x23, 0x01, 0x00}),
           1,
           64,
           10,
           {}},
          {"ProgramParallelFlash ATMEL",
           [&] {
             return ProgramParallelFlash(p, kPayload, 4, ParallelPartItem(ParallelPart::Atmel));
           },
           {0xFF, 0x04, 0x02, 0x55, 0x55, 0xAA, 0x2A, 0x55, 0x55, 0xAA, 0x55, 0xA0},
           0,
           4,
           50,
           ByteVector(kPayload, kPayload + 4)},
          {"ProgramParallelFlash PMC",
           [&] {
             return ProgramParallelFlash(p, kPayload, 4, ParallelPartItem(ParallelPart::Pmc));
           },
           {0xFF, 0x04, 0x02, 0x55, 0x05, 0xAA, 0x02, 0x55, 0x05, 0xAA, 0x55, 0xA0},
           0,
           4,
           50,
           {}},
          {"ProgramParallelFlash SST",
           [&] {
             return ProgramParallelFlash(p, kPayload, 4, ParallelPartItem(ParallelPart::Sst));
           },
           {0xFF, 0x04, 0x02, 0x55, 0x55, 0xAA, 0x2A, 0x55, 0x55, 0xAA, 0x55, 0xA0},
           0,
           4,
           50,
           {}},
          {"ProgramParallelFlash no part",
           [&] { return ProgramParallelFlash(p, kPayload, 4, -1); },
           Cdb12({0xFF, 0x04, 0x02}),
           0,
           4,
           50,
           {}},
          {"EraseParallelFlash ATMEL",
           [&] { return EraseParallelFlash(p, ParallelPartItem(ParallelPart::Atmel)); },
           Cdb12({0xFF, 0x04, 0x04}), 0, 18, 50, eraseJedec},
          {"EraseParallelFlash SST",
           [&] { return EraseParallelFlash(p, ParallelPartItem(ParallelPart::Sst)); },
           Cdb12({0xFF, 0x04, 0x04}), 0, 18, 50, eraseJedec},
          {"EraseParallelFlash PMC",
           [&] { return EraseParallelFlash(p, ParallelPartItem(ParallelPart::Pmc)); },
           Cdb12({0xFF, 0x04, 0x04}), 0, 18, 50, erasePmc},
          {"EraseParallelFlash unknown part",
           [&] { return EraseParallelFlash(p, kParallelPartCount); }, Cdb12({0xFF, 0x04, 0x04}), 0,
           18, 50, ByteVector(18, 0)},
      });
}

TEST_F(FlashCommandTest, DfBlocksAndTheModeByte) {
  const auto& p = kBridgePath;
  ExpectLayouts(platform,
                {
                    {"ReadFlashDF",
                     [&] { return ReadFlashDF(p, 0x0A1B2C, gReadArea, 0x200); },
                     Cdb12({0xDF, 0x10, 0x00, 0x02, 0x00, 0, 0, 0, 0x0A, 0x1B, 0x2C, 0xFA}),
                     1,
                     0x200,
                     10,
                     {}},
                    // Mode 03 (whole flash) waits longest; the MXIC bit drops it back to 50 s.
                    {"WriteFlashDF mode 03", [&] { return WriteFlashDF(p, 0, kPayload, 4, 0x03); },
                     Cdb12({0xDF, 0x03, 0x00, 0x00, 0x04, 0, 0, 0, 0x00, 0x00, 0x00, 0xFB}), 0, 4,
                     100, ByteVector(kPayload, kPayload + 4)},
                    {"WriteFlashDF mode 83",
                     [&] { return WriteFlashDF(p, 0, kPayload, 4, 0x83); },
                     Cdb12({0xDF, 0x83, 0x00, 0x00, 0x04, 0, 0, 0, 0x00, 0x00, 0x00, 0xFB}),
                     0,
                     4,
                     50,
                     {}},
                    // Only bits 0-2 and 7 of the mode reach the block.
                    {"WriteFlashDF mode FB",
                     [&] { return WriteFlashDF(p, 0x012000, kPayload, 4, 0xFB); },
                     Cdb12({0xDF, 0x83, 0x00, 0x00, 0x04, 0, 0, 0, 0x01, 0x20, 0x00, 0xFB}),
                     0,
                     4,
                     50,
                     {}},
                    {"WriteFlashDF mode 0B",
                     [&] { return WriteFlashDF(p, 0, kPayload, 4, 0x0B); },
                     Cdb12({0xDF, 0x03, 0x00, 0x00, 0x04, 0, 0, 0, 0, 0, 0, 0xFB}),
                     0,
                     4,
                     100,
                     {}},
                    {"WriteFlashDF2 erase",
                     [&] { return WriteFlashDF2(p, 0x8000, kPayload, 4, true); },
                     Cdb12({0xDF, 0x01, 0x00, 0x00, 0x04, 0, 0, 0, 0x00, 0x80, 0x00, 0xFB}),
                     0,
                     4,
                     50,
                     {}},
                    {"WriteFlashDF2 program",
                     [&] { return WriteFlashDF2(p, 0x0100, kPayload, 4, false); },
                     Cdb12({0xDF, 0x00, 0x00, 0x00, 0x04, 0, 0, 0, 0x00, 0x01, 0x00, 0xFB}),
                     0,
                     4,
                     50,
                     {}},
                    {"WriteChipMemory one byte",
                     [&] { return WriteChipMemory(p, 0xFDB0, kPayload, 1); },
                     Cdb12({0xDF, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFD, 0xB0, 0, 0, 0, 0xFE}),
                     0,
                     2,
                     50,
                     {0xDE, 0x00}},
                });
}

TEST_F(FlashCommandTest, FailedStatusReadLeavesTheCallersByteAlone) {
  // The transport zero-fills a failed read; a busy flash must not look idle because of it.
  platform.SetResponder([](const auto&) { return testing::Failed(); });
  std::uint8_t status = 0x03;
  EXPECT_EQ(0, ReadFlashStatus(kBridgePath, status));
  EXPECT_EQ(0x03, status);

  platform.SetResponder([](const auto&) { return testing::Reply({0x02, 0x77}); });
  EXPECT_EQ(1, ReadFlashStatus(kBridgePath, status));
  EXPECT_EQ(0x02, status);
}

TEST_F(FlashCommandTest, ParallelFlashBusyCountsAFailedQueryAsBusy) {
  struct Case {
    ScriptedReply Reply;
    int Expected;
  };
  const Case cases[] = {
      {testing::Reply({0x01}), 1},
      {testing::Reply({0x00}), 0},
      {testing::Reply({0x02}), 0},
      {testing::Reply({0x81}), 0},
      {testing::Failed(), 1},
      {ScriptedReply{true, 5, {0x00}, -1}, 1},  // success with an error code pending
  };
  for (const Case& test : cases) {
    platform.SetResponder([&](const auto&) { return test.Reply; });
    platform.ClearCommands();
    EXPECT_EQ(test.Expected, ParallelFlashBusy(kBridgePath));
    ASSERT_EQ(1u, platform.Commands().size());
    EXPECT_EQ(Cdb12({0xFF, 0x04, 0x00}), platform.Commands()[0].Cdb);
    EXPECT_EQ(1, platform.Commands()[0].Record.DataIn);
    EXPECT_EQ(2u, platform.Commands()[0].Record.DataTransferLength);
  }
}

TEST_F(FlashCommandTest, ReadsHandTheReplyToTheCaller) {
  platform.SetResponder([](const auto&) { return testing::Reply({1, 2, 3, 4, 5}); });
  std::uint8_t serial[5] = {};
  std::uint8_t parallel[5] = {};
  std::uint8_t df[5] = {};
  ASSERT_EQ(1, ReadFlashBlock(kBridgePath, 0, serial, 5));
  ASSERT_EQ(1, ReadParallelFlash(kBridgePath, 0, parallel, 5));
  ASSERT_EQ(1, ReadFlashDF(kBridgePath, 0, df, 5));
  const ByteVector expected = {1, 2, 3, 4, 5};
  EXPECT_EQ(expected, ByteVector(serial, serial + 5));
  EXPECT_EQ(expected, ByteVector(parallel, parallel + 5));
  EXPECT_EQ(expected, ByteVector(df, df + 5));
}

TEST_F(FlashCommandTest, DfTransfersTheLengthFieldCannotCarryAreRefused) {
  std::vector<std::uint8_t> big(kMaxDfTransfer + 1);
  EXPECT_EQ(0, ReadFlashDF(kBridgePath, 0, big.data(), kMaxDfTransfer + 1));
  EXPECT_EQ(0, WriteFlashDF(kBridgePath, 0, big.data(), kMaxDfTransfer + 1, 0));
  EXPECT_EQ(0, WriteFlashDF2(kBridgePath, 0, big.data(), kMaxDfTransfer + 1, false));
  EXPECT_EQ(0, WriteChipMemory(kBridgePath, 0, big.data(), kMaxDfTransfer + 1));
  EXPECT_TRUE(platform.Commands().empty());

  ASSERT_EQ(1, WriteFlashDF(kBridgePath, 0, big.data(), kMaxDfTransfer, 1));
  EXPECT_EQ(0xFF, platform.Commands().at(0).Cdb[3]);
  EXPECT_EQ(0xFF, platform.Commands().at(0).Cdb[4]);
}

TEST_F(FlashCommandTest, CommandResultsFollowTheTransport) {
  platform.SetResponder([](const auto&) { return testing::Failed(); });
  EXPECT_EQ(0, EraseFlashChip(kBridgePath));
  EXPECT_EQ(0, WriteFlashBlock(kBridgePath, 0, kPayload, 4));
  EXPECT_EQ(0, SpiCommandOut(kBridgePath, {0x01, 0x00, 0x06}));
  EXPECT_EQ(0, EraseParallelFlash(kBridgePath, ParallelPartItem(ParallelPart::Atmel)));
  EXPECT_EQ(0, WriteFlashDF(kBridgePath, 0, kPayload, 4, 3));
}

}  // namespace
}  // namespace q71x
