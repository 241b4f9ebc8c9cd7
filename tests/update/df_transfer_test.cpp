// SPDX-License-Identifier: GPL-2.0-or-later
// Block plans of the DF-family transfers: where blocks start and end, which carry erase marks,
// and what the status field shows, from the command blocks actually sent.

#include "src/update/df/df_transfer.h"

#include <gtest/gtest.h>

#include <numeric>

#include "src/update/df/df2_transfer.h"
#include "src/update/df/df_write_pass.h"
#include "tests/update/df_test_support.h"

namespace q71x::testing {
namespace {

struct Planned {
  std::uint32_t Address;
  std::uint32_t Length;
  std::uint8_t Mode;
  bool operator==(const Planned&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Planned& p) {
  return out << "{0x" << std::hex << p.Address << ", " << std::dec << p.Length << ", 0x" << std::hex
             << int{p.Mode} << std::dec << "}";
}

std::vector<Planned> PlanOf(const std::vector<DfBlock>& blocks) {
  std::vector<Planned> plan;
  for (const DfBlock& b : blocks) {
    plan.push_back({b.Address, b.Length, b.Mode});
  }
  return plan;
}

std::vector<std::uint8_t> Counting(std::size_t length) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  }
  return bytes;
}

// The bytes the blocks carried, laid out by address from `base`.
std::vector<std::uint8_t> Reassemble(const std::vector<DfBlock>& blocks, std::uint32_t base,
                                     std::size_t length) {
  std::vector<std::uint8_t> out(length, 0xEE);
  for (const DfBlock& b : blocks) {
    for (std::size_t i = 0; i < b.Data.size() && b.Address - base + i < length; ++i) {
      out[b.Address - base + i] = b.Data[i];
    }
  }
  return out;
}

using DfWritePlanTest = DfScriptedTest;

struct WritePlanCase {
  const char* Name;
  std::uint32_t Mode;
  FlashVendor Vendor;
  std::uint32_t SectorSize;
  std::uint32_t BlockSize;
  std::uint32_t Length;
  std::vector<Planned> Expected;
};

std::vector<Planned> Repeat(std::uint32_t from, std::uint32_t count, std::uint32_t length,
                            std::uint8_t mode) {
  std::vector<Planned> plan;
  for (std::uint32_t i = 0; i < count; ++i) {
    plan.push_back({from + i * length, length, mode});
  }
  return plan;
}

std::vector<Planned> Join(std::initializer_list<std::vector<Planned>> parts) {
  std::vector<Planned> all;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

TEST_F(DfWritePlanTest, WorkedExamplesOver64K) {
  const std::vector<WritePlanCase> cases = {
      {"sector marks on 4 KB sectors", 1, FlashVendor::Winbond, 4096, 65536, 65536,
       Repeat(0, 16, 4096, 1)},
      {"block marks on 64 KB blocks", 2, FlashVendor::Winbond, 4096, 65536, 65536,
       Join({{{0, 4096, 2}}, Repeat(4096, 7, 8192, 0), {{61440, 4096, 0}}})},
      {"block marks on an MXIC part", 2, FlashVendor::Mxic, 4096, 65536, 65536,
       Join({{{0, 4096, 0x82}}, Repeat(4096, 7, 8192, 0), {{61440, 4096, 0}}})},
      {"one whole-flash mark", 3, FlashVendor::Winbond, 4096, 65536, 65536,
       Join({{{0, 4096, 3}}, Repeat(4096, 7, 8192, 0), {{61440, 4096, 0}}})},
      {"sector marks on 32 KB sectors", 1, FlashVendor::Atmel, 32768, 65536, 131072,
       Join({{{0, 4096, 1}},
             Repeat(4096, 3, 8192, 0),
             {{28672, 4096, 0}, {32768, 8192, 1}},
             Repeat(40960, 3, 8192, 0),
             {{65536, 8192, 1}},
             Repeat(73728, 3, 8192, 0),
             {{98304, 8192, 1}},
             Repeat(106496, 3, 8192, 0)})},
      {"block marks on 32 KB blocks", 2, FlashVendor::Pmc, 4096, 32768, 65536,
       Join({{{0, 4096, 2}},
             Repeat(4096, 3, 8192, 0),
             {{28672, 4096, 0}, {32768, 8192, 2}},
             Repeat(40960, 3, 8192, 0)})},
      {"program only",
       0,
       FlashVendor::Mxic,
       4096,
       65536,
       16384,
       {{0, 4096, 0}, {4096, 8192, 0}, {12288, 4096, 0}}},
  };
  for (const WritePlanCase& c : cases) {
    SCOPED_TRACE(c.Name);
    platform.ClearCommands();
    window.state.FlashVendor = c.Vendor;
    window.settings = ProgramSettings{65536, 8192, c.BlockSize, c.SectorSize};
    window.SetStatus("Programming");
    const auto image = Counting(c.Length);

    DfWritePass pass(window);
    ASSERT_EQ(1, WriteDfFlash(pass, path, 0, image.data(), c.Length, c.Mode));
    const auto writes = Writes();
    EXPECT_EQ(c.Expected, PlanOf(writes));
    EXPECT_EQ(image, Reassemble(writes, 0, c.Length));
    EXPECT_EQ("Programming" + std::string(c.Expected.size(), '.'), window.StatusText());
  }
}

TEST_F(DfWritePlanTest, MxicBitOnlyOnAMarkedFirstBlock) {
  window.state.FlashVendor = FlashVendor::Mxic;
  const auto image = Counting(8192);
  for (std::uint32_t mode : {0u, 1u, 2u, 3u}) {
    SCOPED_TRACE(mode);
    platform.ClearCommands();
    DfWritePass pass(window);
    ASSERT_EQ(1, WriteDfFlash(pass, path, 0, image.data(), 8192, mode));
    const auto writes = Writes();
    ASSERT_EQ(2u, writes.size());
    EXPECT_EQ(mode == 0 ? 0 : (0x80 | mode), writes[0].Mode);
    EXPECT_EQ(4096u, writes[0].Length);
  }
  // Another vendor never gets the bit.
  window.state.FlashVendor = FlashVendor::Winbond;
  platform.ClearCommands();
  DfWritePass otherVendor(window);
  ASSERT_EQ(1, WriteDfFlash(otherVendor, path, 0, image.data(), 8192, 3));
  EXPECT_EQ(3, Writes()[0].Mode);
}

TEST_F(DfWritePlanTest, CountersSpanTheWritesOfOnePass) {
  window.state.FlashVendor = FlashVendor::Winbond;
  const auto image = Counting(65536);
  DfWritePass pass(window);
  ASSERT_EQ(1, WriteDfFlash(pass, path, 0, image.data(), 65536, 1));
  EXPECT_EQ(16u, pass.Counters().SectorEraseCount);
  platform.ClearCommands();

  // The same pass again: every sector was marked already, so nothing is marked twice.
  ASSERT_EQ(1, WriteDfFlash(pass, path, 0, image.data(), 65536, 1));
  const auto again = Writes();
  ASSERT_FALSE(again.empty());
  for (const DfBlock& b : again) {
    EXPECT_EQ(0, b.Mode) << "block at 0x" << std::hex << b.Address;
  }
  // A pass continuing above the marked range marks the next sector on its first block.
  platform.ClearCommands();
  ASSERT_EQ(1, WriteDfFlash(pass, path, 65536, image.data(), 8192, 1));
  EXPECT_EQ((std::vector<Planned>{{65536, 4096, 1}, {69632, 4096, 1}}), PlanOf(Writes()));

  // The next pass starts from no marked unit, whatever the one before it marked.
  platform.ClearCommands();
  DfWritePass next(window);
  ASSERT_EQ(1, WriteDfFlash(next, path, 0, image.data(), 8192, 1));
  EXPECT_EQ((std::vector<Planned>{{0, 4096, 1}, {4096, 4096, 1}}), PlanOf(Writes()));
}

TEST_F(DfWritePlanTest, APassKeepsTheSettingsItStartedWith) {
  window.state.FlashVendor = FlashVendor::Mxic;
  window.settings.EraseSectorSize = 4096;
  DfWritePass pass(window);
  window.state.FlashVendor = FlashVendor::Winbond;
  window.settings.EraseSectorSize = 32768;
  window.settings.FlashPageSize = 0;
  const auto image = Counting(8192);
  ASSERT_EQ(1, WriteDfFlash(pass, path, 0, image.data(), 8192, 1));
  EXPECT_EQ((std::vector<Planned>{{0, 4096, 0x81}, {4096, 4096, 1}}), PlanOf(Writes()));
}

TEST_F(DfWritePlanTest, ShortWritesArePaddedWithZeros) {
  const auto source = Counting(100);
  DfWritePass pass(window);
  ASSERT_EQ(1, WriteDfFlash(pass, path, 0x10000, source.data(), 100, 0));
  const auto writes = Writes();
  ASSERT_EQ(1u, writes.size());
  EXPECT_EQ(512u, writes[0].Length);
  ASSERT_EQ(512u, writes[0].Data.size());
  EXPECT_TRUE(std::equal(source.begin(), source.end(), writes[0].Data.begin()));
  EXPECT_TRUE(std::all_of(writes[0].Data.begin() + 100, writes[0].Data.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST_F(DfWritePlanTest, NothingToMoveSendsNothing) {
  std::uint8_t byte = 0;
  DfWritePass pass(window);
  EXPECT_EQ(0, WriteDfFlash(pass, path, 0, &byte, 0, 1));
  EXPECT_EQ(0, ReadDfFlash(window, path, 0, &byte, 0));
  EXPECT_TRUE(platform.Commands().empty());
  EXPECT_EQ(0u, pass.Counters().SectorEraseCount);
}

TEST_F(DfWritePlanTest, AFailedBlockEndsTheWriteAndKeepsTheDotsSoFar) {
  int writesSeen = 0;
  platform.SetResponder([&](const RecordedCommand& c) {
    if (IsDfFlashCommand(c, kDfWriteFlash) && ++writesSeen == 3) {
      return ScriptedReply{false, 1117, {}, 0};
    }
    return ScriptedReply{};
  });
  window.SetStatus("Programming");
  const auto image = Counting(65536);
  DfWritePass pass(window);
  EXPECT_EQ(0, WriteDfFlash(pass, path, 0, image.data(), 65536, 2));
  EXPECT_EQ(3u, Writes().size());
  EXPECT_EQ("Programming..", window.StatusText());
}

TEST_F(DfWritePlanTest, APassStartingAboveTheCountedUnitsNeverCrossesAUnit) {
  // The counters say no sector was marked, yet the pass starts deep inside the flash: the clip
  // must not wrap to a huge length.
  window.settings.EraseSectorSize = 4096;
  DfWritePass probe(window);
  EXPECT_EQ(1, probe.NextEraseMark(40000, 1));
  EXPECT_EQ(4096u - 40000u % 4096u, probe.ClipToEraseUnit(40000, 8192, 1));

  platform.ClearCommands();
  DfWritePass pass(window);
  const auto source = Counting(20000);
  ASSERT_EQ(1, WriteDfFlash(pass, path, 40000, source.data(), 20000, 1));
  const auto writes = Writes();
  std::uint32_t expectedAddress = 40000;
  for (const DfBlock& b : writes) {
    EXPECT_EQ(expectedAddress, b.Address);
    EXPECT_GT(b.Length, 0u);
    EXPECT_EQ(b.Address / 4096, (b.Address + b.Length - 1) / 4096)
        << "block at " << b.Address << " crosses a sector";
    expectedAddress += b.Length;
  }
  EXPECT_EQ(40000u + 20480u, expectedAddress);
  EXPECT_EQ(source, Reassemble(writes, 40000, 20000));
}

using DfReadPlanTest = DfScriptedTest;

TEST_F(DfReadPlanTest, ReadsInPageSizedBlocksWithOneDotEach) {
  platform.SetResponder([](const RecordedCommand& c) {
    // Each block answers with the low byte of its own address, so misplaced blocks show.
    const DfBlock b = DecodeDfBlock(c);
    return ScriptedReply{true, 0, std::vector<std::uint8_t>(b.Length, b.Address >> 12), -1};
  });
  window.settings.FlashPageSize = 8192;
  std::vector<std::uint8_t> out(20000, 0xEE);
  ASSERT_EQ(1, ReadDfFlash(window, path, 0x4000, out.data(), 20000));
  const auto reads = Reads();
  EXPECT_EQ(
      (std::vector<Planned>{{0x4000, 8192, 0x10}, {0x6000, 8192, 0x10}, {0x8000, 4096, 0x10}}),
      PlanOf(reads));
  EXPECT_EQ(0x4, out[0]);
  EXPECT_EQ(0x6, out[8192]);
  EXPECT_EQ(0x8, out[19999]);
  EXPECT_EQ("ReadFlash...", window.statusHistory.front());
  EXPECT_EQ("ReadFlash......", window.StatusText());
}

TEST_F(DfReadPlanTest, AFailedBlockReturnsWhatCameBefore) {
  int readsSeen = 0;
  platform.SetResponder([&](const RecordedCommand& c) {
    if (!IsDfFlashCommand(c, kDfReadFlash)) {
      return ScriptedReply{};
    }
    if (++readsSeen == 2) {
      return ScriptedReply{false, 1117, {}, 0};
    }
    return ScriptedReply{true, 0, std::vector<std::uint8_t>(c.Record.DataTransferLength, 0x5A), -1};
  });
  std::vector<std::uint8_t> out(16384, 0xEE);
  EXPECT_EQ(0, ReadDfFlash(window, path, 0, out.data(), 16384));
  EXPECT_EQ(2u, Reads().size());
  EXPECT_EQ(0x5A, out[8191]);
  EXPECT_NE(0x5A, out[8192]);
  EXPECT_EQ("ReadFlash....", window.StatusText());
}

TEST_F(DfReadPlanTest, AReadWithoutItsBufferSendsNothing) {
  ScopedWorkBufferFault refuse([](std::size_t) { return true; });
  std::vector<std::uint8_t> out(4096);
  EXPECT_EQ(0, ReadDfFlash(window, path, 0, out.data(), 4096));
  DfWritePass pass(window);
  EXPECT_EQ(0, WriteDfFlash(pass, path, 0, out.data(), 4096, 1));
  EXPECT_TRUE(platform.Commands().empty());
}

using Df2WritePlanTest = DfScriptedTest;

TEST_F(Df2WritePlanTest, FirmwareAreaIn256ByteBlocksWithOneFlagAndADotPer2K) {
  window.settings.FlashPageSize = 256;
  window.SetStatus("Programming");
  const auto image = Counting(32768);
  DfWritePass pass(window);
  ASSERT_EQ(1, WriteDf2Flash(pass, path, 0, image.data(), 32768));
  const auto writes = Writes();
  ASSERT_EQ(128u, writes.size());
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(i * 256, writes[i].Address);
    EXPECT_EQ(256u, writes[i].Length);
    EXPECT_EQ(i == 0 ? 1 : 0, writes[i].Mode) << "block " << i;
  }
  EXPECT_EQ(image, Reassemble(writes, 0, 32768));
  EXPECT_EQ(16u, DotCount(window.StatusText()));
}

TEST_F(Df2WritePlanTest, BothEraseUnitsAreFlaggedOnALargeImage) {
  window.settings.FlashPageSize = 256;
  const auto image = Counting(40000);
  DfWritePass pass(window);
  ASSERT_EQ(1, WriteDf2Flash(pass, path, 0, image.data(), 40000));
  const auto writes = Writes();
  ASSERT_EQ(157u, writes.size());  // 40000 padded to 40192
  std::vector<std::uint32_t> flagged;
  for (const DfBlock& b : writes) {
    if (b.Mode != 0) {
      flagged.push_back(b.Address);
    }
  }
  EXPECT_EQ((std::vector<std::uint32_t>{0, 0x8000}), flagged);
  // The tail past the image is programmed as zeros.
  const DfBlock& last = writes.back();
  EXPECT_EQ(39936u, last.Address);
  EXPECT_TRUE(std::equal(image.begin() + 39936, image.end(), last.Data.begin()));
  EXPECT_TRUE(
      std::all_of(last.Data.begin() + 64, last.Data.end(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Df2WritePlanTest, ConfigurationAreaWriteBack) {
  window.settings.FlashPageSize = 256;
  const auto nvram = Counting(1024);
  DfWritePass pass(window);
  ASSERT_EQ(1, WriteDf2Flash(pass, path, 0x8000, nvram.data(), 1024));
  EXPECT_EQ((std::vector<Planned>{
                {0x8000, 256, 1}, {0x8100, 256, 0}, {0x8200, 256, 0}, {0x8300, 256, 0}}),
            PlanOf(Writes()));
  // Only the block that leaves the next one at 0x8100 earns a dot.
  EXPECT_EQ(".", window.StatusText());
}

TEST_F(Df2WritePlanTest, AFailedBlockEndsTheWrite) {
  int writesSeen = 0;
  platform.SetResponder([&](const RecordedCommand& c) {
    if (IsDfFlashCommand(c, kDfWriteFlash) && ++writesSeen == 10) {
      return ScriptedReply{false, 1117, {}, 0};
    }
    return ScriptedReply{};
  });
  window.settings.FlashPageSize = 256;
  const auto image = Counting(32768);
  DfWritePass pass(window);
  EXPECT_EQ(0, WriteDf2Flash(pass, path, 0, image.data(), 32768));
  EXPECT_EQ(10u, Writes().size());
  EXPECT_EQ(2u, DotCount(window.StatusText()));
}

}  // namespace
}  // namespace q71x::testing
