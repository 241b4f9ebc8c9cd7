// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "src/device/raw_flash_programming.h"
#include "tests/device/command_test_helpers.h"

namespace q71x {
namespace {

using testing::ByteVector;
using testing::CdbStartsWith;
using testing::kBridgePath;
using testing::RecordedCommand;
using testing::ScriptedReply;

ByteVector Pattern(std::size_t length) {
  ByteVector data(length);
  for (std::size_t i = 0; i < length; ++i) {
    data[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
  }
  return data;
}

// Descriptor bytes 3-11 of an FF 04 20 block.
ByteVector Descriptor(const RecordedCommand& c) {
  return ByteVector(c.Cdb.begin() + 3, c.Cdb.end());
}
bool IsSpiCommand(const RecordedCommand& c) {
  return CdbStartsWith(c, {0xFF, 0x04, 0x20});
}
bool IsSpiData(const RecordedCommand& c) {
  return CdbStartsWith(c, {0xFF, 0x04, 0x22});
}
bool IsStatusRead(const RecordedCommand& c) {
  return CdbStartsWith(c, {0xFF, 0x04, 0x12});
}
std::uint8_t Opcode(const RecordedCommand& c) {
  return c.Cdb[5];
}

// The 24-bit address of an addressed descriptor (04 01 OP A2 A1 A0).
std::uint32_t AddressOf(const ByteVector& descriptor) {
  return (static_cast<std::uint32_t>(descriptor[3]) << 16) | (descriptor[4] << 8) | descriptor[5];
}

// One programming command as it went out: its descriptor and the data phase that followed it.
struct Program {
  ByteVector Descriptor;
  ByteVector Data;
};

// The commands with the given opcode, each with the SpiDataOut that came right after it (when its
// descriptor announced one).
std::vector<Program> ProgramsWithOpcode(const testing::ScriptedPlatform& platform,
                                        std::uint8_t opcode) {
  std::vector<Program> out;
  const auto& commands = platform.Commands();
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (!IsSpiCommand(commands[i]) || Opcode(commands[i]) != opcode) {
      continue;
    }
    Program program{Descriptor(commands[i]), {}};
    if (commands[i].Cdb[4] == 0x01 && i + 1 < commands.size() && IsSpiData(commands[i + 1])) {
      program.Data = commands[i + 1].DataOut;
    }
    out.push_back(std::move(program));
  }
  return out;
}

class RawProgrammingTest : public testing::CommandTest {
 protected:
  // Flash always ready; the n-th (0-based) command matching `failWhen` fails.
  void FailNth(std::function<bool(const RecordedCommand&)> failWhen, int n) {
    auto seen = std::make_shared<int>(0);
    platform.SetResponder([=](const RecordedCommand& c) {
      if (failWhen(c) && (*seen)++ == n) {
        return testing::Failed();
      }
      return ScriptedReply{};
    });
  }
};

TEST(RawProgramMethodTest, SelectionByVendorAndWordMode) {
  struct Case {
    FlashVendor Vendor;
    int WordMode;
    RawProgramMethod Method;
    std::uint32_t Unit;
  };
  const Case cases[] = {
      {FlashVendor::Sst, 1, RawProgramMethod::SstWords, 512},
      {FlashVendor::Sst, 0, RawProgramMethod::SstBytes, 512},
      {FlashVendor::Sst, 5, RawProgramMethod::SstWords, 512},
      {FlashVendor::Mxic, 0, RawProgramMethod::SpiPages, 32},
      {FlashVendor::Mxic, 1, RawProgramMethod::SpiPages, 32},
      {FlashVendor::Winbond, 1, RawProgramMethod::SpiPages, 256},
      {FlashVendor::Unknown, 0, RawProgramMethod::SpiPages, 256},
      {static_cast<FlashVendor>(-1), 0, RawProgramMethod::SpiPages, 256},
  };
  for (const Case& test : cases) {
    const RawProgramMethodRow row = SelectRawProgramMethod(test.Vendor, test.WordMode);
    EXPECT_EQ(test.Method, row.Method) << int{RowNumber(test.Vendor)} << "/" << test.WordMode;
    EXPECT_EQ(test.Unit, row.Unit) << int{RowNumber(test.Vendor)} << "/" << test.WordMode;
  }
}

TEST_F(RawProgrammingTest, PagesProgramEveryByteIncludingAShortLastPage) {
  const ByteVector data = Pattern(8192 + 100);
  ASSERT_EQ(1,
            ProgramSerialFlash(kBridgePath, 0x010000, data.data(),
                               static_cast<std::uint32_t>(data.size()), FlashVendor::Winbond, 0));
  const auto pages = ProgramsWithOpcode(platform, 0x02);
  ASSERT_EQ(33u, pages.size());
  ByteVector sent;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::uint32_t address = 0x010000 + static_cast<std::uint32_t>(i) * 256;
    EXPECT_EQ((ByteVector{0x04, 0x01, 0x02, static_cast<std::uint8_t>(address >> 16),
                          static_cast<std::uint8_t>(address >> 8),
                          static_cast<std::uint8_t>(address), 0, 0, 0}),
              pages[i].Descriptor);
    EXPECT_EQ(i < 32 ? 256u : 100u, pages[i].Data.size());
    sent.insert(sent.end(), pages[i].Data.begin(), pages[i].Data.end());
  }
  EXPECT_EQ(data, sent);

  // Every page program follows its own write enable, and each chunk follows a status read.
  const auto& commands = platform.Commands();
  std::size_t statusReads = 0;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (IsStatusRead(commands[i])) {
      ++statusReads;
      ASSERT_LT(i + 1, commands.size());
      EXPECT_EQ((ByteVector{0x01, 0x00, 0x06, 0, 0, 0, 0, 0, 0}), Descriptor(commands[i + 1]));
    }
    if (IsSpiCommand(commands[i]) && Opcode(commands[i]) == 0x02) {
      EXPECT_EQ((ByteVector{0x01, 0x00, 0x06, 0, 0, 0, 0, 0, 0}), Descriptor(commands[i - 1]));
    }
  }
  EXPECT_EQ(2u, statusReads);
  // 10 ms before the write enable and before the page program, 10 ms after each chunk.
  EXPECT_EQ(33u * 20 + 2 * 10, platform.NowMs());
}

TEST_F(RawProgrammingTest, MxicPartsGetThirtyTwoBytePages) {
  const ByteVector data = Pattern(8192);
  ASSERT_EQ(1, ProgramSerialFlash(kBridgePath, 0x4000, data.data(), 8192, FlashVendor::Mxic, 0));
  const auto pages = ProgramsWithOpcode(platform, 0x02);
  ASSERT_EQ(256u, pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::uint32_t address = 0x4000 + static_cast<std::uint32_t>(i) * 32;
    EXPECT_EQ(address, AddressOf(pages[i].Descriptor));
    EXPECT_EQ(ByteVector(data.begin() + i * 32, data.begin() + i * 32 + 32), pages[i].Data);
  }
}

TEST_F(RawProgrammingTest, SstWordModeRestatesTheAddressOnlyAtSixteenKilobyteBoundaries) {
  const ByteVector data = Pattern(0xC000);
  ASSERT_EQ(1, ProgramSerialFlash(kBridgePath, 0x4000, data.data(), 0xC000, FlashVendor::Sst, 1));
  const auto words = ProgramsWithOpcode(platform, 0xAD);
  ByteVector sent;
  std::vector<std::uint32_t> addressedRuns;
  std::size_t shortStarts = 0;
  std::uint32_t runStart = 0x4000;
  for (const Program& word : words) {
    if (word.Descriptor[0] == 0x04) {
      EXPECT_EQ(0x01, word.Descriptor[1]);
      addressedRuns.push_back(AddressOf(word.Descriptor));
      EXPECT_EQ(runStart, addressedRuns.back());
    } else if (word.Descriptor[0] == 0x01) {
      EXPECT_EQ((ByteVector{0x01, 0x01, 0xAD, 0, 0, 0, 0, 0, 0}), word.Descriptor);
      EXPECT_NE(0u, runStart % 0x4000);
      ++shortStarts;
    } else {
      EXPECT_EQ((ByteVector{0x03, 0x00, 0xAD}),
                ByteVector(word.Descriptor.begin(), word.Descriptor.begin() + 3));
      sent.push_back(word.Descriptor[3]);
      sent.push_back(word.Descriptor[4]);
      continue;
    }
    EXPECT_EQ(2u, word.Data.size());
    sent.insert(sent.end(), word.Data.begin(), word.Data.end());
    runStart += 512;
  }
  EXPECT_EQ((std::vector<std::uint32_t>{0x4000, 0x8000, 0xC000}), addressedRuns);
  EXPECT_EQ(96u - 3, shortStarts);
  EXPECT_EQ(data, sent);
}

TEST_F(RawProgrammingTest, EveryRunStartsWithTheSstUnprotectSequence) {
  const ByteVector data = Pattern(1024);
  ASSERT_EQ(1, SstProgramBytes(kBridgePath, 0, data.data(), 1024, 512));
  const auto& commands = platform.Commands();
  std::size_t runs = 0;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (!IsSpiCommand(commands[i]) || Opcode(commands[i]) != 0x50) {
      continue;
    }
    ++runs;
    ASSERT_LT(i + 4, commands.size());
    EXPECT_EQ((ByteVector{0x01, 0x00, 0x50, 0, 0, 0, 0, 0, 0}), Descriptor(commands[i]));
    EXPECT_EQ((ByteVector{0x01, 0x01, 0x01, 0, 0, 0, 0, 0, 0}), Descriptor(commands[i + 1]));
    EXPECT_TRUE(IsSpiData(commands[i + 2]));
    EXPECT_EQ((ByteVector{0x00, 0x00}), commands[i + 2].DataOut);
    EXPECT_EQ((ByteVector{0x01, 0x00, 0x06, 0, 0, 0, 0, 0, 0}), Descriptor(commands[i + 3]));
    EXPECT_EQ(0xAF, Opcode(commands[i + 4]));
    // 10 ms before and after the write enable.
    EXPECT_EQ(commands[i + 2].AtMs + 10, commands[i + 3].AtMs);
    EXPECT_EQ(commands[i + 3].AtMs + 10, commands[i + 4].AtMs);
  }
  EXPECT_EQ(2u, runs);
}

TEST_F(RawProgrammingTest, SstByteModeSendsEveryByteIncludingAShortLastRun) {
  const ByteVector data = Pattern(512 + 3);
  ASSERT_EQ(1, ProgramSerialFlash(kBridgePath, 0x2000, data.data(), 515, FlashVendor::Sst, 0));
  const auto bytes = ProgramsWithOpcode(platform, 0xAF);
  ASSERT_EQ(515u, bytes.size());
  ByteVector sent;
  std::vector<std::uint32_t> runAddresses;
  for (const Program& byte : bytes) {
    if (byte.Descriptor[0] == 0x04) {
      runAddresses.push_back(AddressOf(byte.Descriptor));
      ASSERT_EQ(2u, byte.Data.size());
      EXPECT_EQ(0x00, byte.Data[1]);  // the first byte of a run goes out padded with 00
      sent.push_back(byte.Data[0]);
    } else {
      EXPECT_EQ((ByteVector{0x02, 0x00, 0xAF}),
                ByteVector(byte.Descriptor.begin(), byte.Descriptor.begin() + 3));
      sent.push_back(byte.Descriptor[3]);
    }
  }
  EXPECT_EQ((std::vector<std::uint32_t>{0x2000, 0x2200}), runAddresses);
  EXPECT_EQ(data, sent);
}

TEST_F(RawProgrammingTest, SstWordModePadsAnOddLastByteWithFF) {
  const ByteVector data = {0x11, 0x22, 0x33, 0x44, 0x55};
  ASSERT_EQ(1, SstProgramWords(kBridgePath, 0x8000, data.data(), 5, 512));
  const auto words = ProgramsWithOpcode(platform, 0xAD);
  ASSERT_EQ(3u, words.size());
  EXPECT_EQ((ByteVector{0x04, 0x01, 0xAD, 0x00, 0x80, 0x00, 0, 0, 0}), words[0].Descriptor);
  EXPECT_EQ((ByteVector{0x11, 0x22}), words[0].Data);
  EXPECT_EQ((ByteVector{0x03, 0x00, 0xAD, 0x33, 0x44, 0, 0, 0, 0}), words[1].Descriptor);
  EXPECT_EQ((ByteVector{0x03, 0x00, 0xAD, 0x55, 0xFF, 0, 0, 0, 0}), words[2].Descriptor);
}

TEST_F(RawProgrammingTest, FirstFailingCommandEndsProgramming) {
  const ByteVector data = Pattern(8192 * 2);
  auto isOpcode = [](std::uint8_t op) {
    return [op](const RecordedCommand& c) { return IsSpiCommand(c) && Opcode(c) == op; };
  };
  struct Case {
    const char* Name;
    FlashVendor Vendor;
    int WordMode;
    std::function<bool(const RecordedCommand&)> FailWhen;
    int Nth;
    std::uint8_t Opcode;
    std::size_t CommandsOfOpcodeSent;
  };
  const Case cases[] = {
      {"page program refused", FlashVendor::Winbond, 0, isOpcode(0x02), 40, 0x02, 41},
      {"page data refused", FlashVendor::Winbond, 0, IsSpiData, 3, 0x02, 4},
      // A byte lost inside a run would shift the rest of it, so nothing more is sent.
      {"byte refused mid-run", FlashVendor::Sst, 0, isOpcode(0xAF), 700, 0xAF, 701},
      {"word refused mid-run", FlashVendor::Sst, 1, isOpcode(0xAD), 300, 0xAD, 301},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Name);
    platform.ClearCommands();
    FailNth(test.FailWhen, test.Nth);
    EXPECT_EQ(
        0, ProgramSerialFlash(kBridgePath, 0, data.data(), 8192 * 2, test.Vendor, test.WordMode));
    EXPECT_EQ(test.CommandsOfOpcodeSent, ProgramsWithOpcode(platform, test.Opcode).size());
  }
}

TEST_F(RawProgrammingTest, RefusedWriteEnableIsLeftToThePageProgram) {
  // The write enable's own answer is not looked at; the page program after it decides.
  const ByteVector data = Pattern(512);
  FailNth([](const RecordedCommand& c) { return IsSpiCommand(c) && Opcode(c) == 0x06; }, 0);
  EXPECT_EQ(1, ProgramSpiPages(kBridgePath, 0, data.data(), 512, 256));
  EXPECT_EQ(2u, ProgramsWithOpcode(platform, 0x02).size());
}

TEST_F(RawProgrammingTest, NothingToProgramOrNoUsableUnitSendsNothing) {
  const ByteVector data = Pattern(512);
  EXPECT_EQ(0, ProgramSerialFlash(kBridgePath, 0, data.data(), 0, FlashVendor::Winbond, 0));
  EXPECT_EQ(0, ProgramSpiPages(kBridgePath, 0, data.data(), 512, 0));
  EXPECT_EQ(0, SstProgramBytes(kBridgePath, 0, data.data(), 0, 512));
  EXPECT_EQ(0, SstProgramWords(kBridgePath, 0, data.data(), 512, 511));
  EXPECT_TRUE(platform.Commands().empty());
}

}  // namespace
}  // namespace q71x
