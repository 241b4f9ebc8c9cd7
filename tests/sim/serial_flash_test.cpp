// SPDX-License-Identifier: GPL-2.0-or-later
// The serial-flash model on its own: each test clocks raw opcode bytes into a part and looks at
// its contents and status afterwards.
#include "sim/serial_flash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "sim/serial_flash_parts.h"
#include "tests/sim/sim_host.h"

namespace q71x::sim {
namespace {

using testing::Pattern;
using testing::Spi;

const SerialFlashPart& Part(const char* name) {
  const SerialFlashPart* part = FindSerialFlashPart(name);
  EXPECT_NE(part, nullptr) << name;
  return *part;
}

std::vector<std::uint8_t> Read(SerialFlash& flash, std::uint32_t address, std::size_t length,
                               std::uint64_t nowUs) {
  std::vector<std::uint8_t> mosi = {0x03, static_cast<std::uint8_t>(address >> 16),
                                    static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address)};
  mosi.resize(4 + length, 0);
  std::vector<std::uint8_t> miso = flash.Transact(mosi, nowUs);
  return {miso.begin() + 4, miso.end()};
}

std::vector<std::uint8_t> WithAddress(std::uint8_t opcode, std::uint32_t address,
                                      const std::vector<std::uint8_t>& data = {}) {
  std::vector<std::uint8_t> mosi = {opcode, static_cast<std::uint8_t>(address >> 16),
                                    static_cast<std::uint8_t>(address >> 8),
                                    static_cast<std::uint8_t>(address)};
  mosi.insert(mosi.end(), data.begin(), data.end());
  return mosi;
}

// Clears protection the way each kind of part accepts it.
void Unprotect(SerialFlash& flash, std::uint64_t& now) {
  Spi(flash, {0x06}, now);
  Spi(flash, {0x01, 0x00}, now);
  now = std::max(now, flash.BusyUntilUs());
}

// Programs `data` at `address` with the part's own programming opcode: page programs split at
// its page size, or one SST auto-increment run.
void Program(SerialFlash& flash, std::uint32_t address, const std::vector<std::uint8_t>& data,
             std::uint64_t& now) {
  const SerialFlashPart& part = flash.Part();
  if (part.HasAaiByte || part.HasAaiWord) {
    const std::size_t unit = part.HasAaiWord ? 2 : 1;
    const std::uint8_t opcode = part.HasAaiWord ? 0xAD : 0xAF;
    Spi(flash, {0x06}, now);
    for (std::size_t i = 0; i < data.size(); i += unit) {
      std::vector<std::uint8_t> chunk(data.begin() + i, data.begin() + i + unit);
      if (i == 0) {
        Spi(flash, WithAddress(opcode, address, chunk), now);
      } else {
        chunk.insert(chunk.begin(), opcode);
        Spi(flash, chunk, now);
      }
      now = flash.BusyUntilUs();
    }
    Spi(flash, {0x04}, now);
    return;
  }
  const std::size_t page = part.PageBytes;
  for (std::size_t i = 0; i < data.size(); i += page) {
    std::vector<std::uint8_t> chunk(data.begin() + i,
                                    data.begin() + std::min(data.size(), i + page));
    Spi(flash, {0x06}, now);
    Spi(flash, WithAddress(0x02, address + static_cast<std::uint32_t>(i), chunk), now);
    now = flash.BusyUntilUs();
  }
}

TEST(SerialFlashPartsTest, TableIsConsistent) {
  const std::vector<std::string> problems = CheckSerialFlashParts(SerialFlashParts());
  for (const std::string& problem : problems) {
    ADD_FAILURE() << problem;
  }
}

TEST(SerialFlashPartsTest, SelfCheckCatchesBrokenParts) {
  std::vector<SerialFlashPart> parts(SerialFlashParts().begin(), SerialFlashParts().end());
  parts[0].Erasers[0].UnitBytes = 3000;  // does not divide the size
  parts[1].JedecId = parts[5].JedecId;   // shares a JEDEC id
  parts[3].Name = parts[4].Name;         // shares a name
  const std::vector<std::string> problems = CheckSerialFlashParts(parts);
  EXPECT_GE(problems.size(), 3u);
  std::vector<SerialFlashPart> rowless;
  for (const SerialFlashPart& part : SerialFlashParts()) {
    if (part.VendorRow != 6) {
      rowless.push_back(part);
    }
  }
  const std::vector<std::string> missing = CheckSerialFlashParts(rowless);
  EXPECT_NE(std::find(missing.begin(), missing.end(), "no part for flash-vendor row 6"),
            missing.end());
}

// Every part of the table: erase a unit with its smallest eraser, program, read back.
class EveryPartTest : public ::testing::TestWithParam<std::size_t> {
 protected:
  const SerialFlashPart& ThePart() const { return SerialFlashParts()[GetParam()]; }
};

TEST_P(EveryPartTest, EraseThenProgramThenReadGivesTheData) {
  SerialFlash flash(ThePart());
  const std::vector<std::uint8_t> old(flash.Part().SizeBytes, 0x00);
  flash.Load(0, old);
  std::uint64_t now = 0;
  Unprotect(flash, now);

  const EraseOp* smallest = nullptr;
  for (const EraseOp& op : ThePart().Erasers) {
    if (op.Opcode != 0 && op.UnitBytes != 0 &&
        (smallest == nullptr || op.UnitBytes < smallest->UnitBytes)) {
      smallest = &op;
    }
  }
  ASSERT_NE(smallest, nullptr);
  // The top unit, addressed in its middle; on a part whose boot block is the whole part that
  // is the last boot sector.
  std::uint32_t unitBytes = smallest->UnitBytes;
  if (ThePart().BootEraseOpcode == smallest->Opcode && ThePart().SizeBytes == unitBytes) {
    unitBytes = *std::find_if(ThePart().BootUnits.rbegin(), ThePart().BootUnits.rend(),
                              [](std::uint32_t unit) { return unit != 0; });
  }
  const std::uint32_t unitStart = ThePart().SizeBytes - unitBytes;
  const std::uint64_t started = now;
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(smallest->Opcode, unitStart + unitBytes / 2), now);
  EXPECT_TRUE(flash.IsBusy(now));
  EXPECT_EQ(flash.BusyUntilUs(), started + smallest->TimeUs);
  now = flash.BusyUntilUs();
  const std::vector<std::uint8_t> erased = Read(flash, unitStart, unitBytes, now);
  EXPECT_TRUE(std::all_of(erased.begin(), erased.end(), [](auto b) { return b == 0xFF; }));
  EXPECT_EQ(Read(flash, unitStart - 1, 1, now)[0], 0x00) << "erase spilled below its unit";

  const std::vector<std::uint8_t> data = Pattern(512, 0x21);
  Program(flash, unitStart, data, now);
  EXPECT_EQ(Read(flash, unitStart, data.size(), now), data);
}

TEST_P(EveryPartTest, ChipEraseSetsEveryByte) {
  SerialFlash flash(ThePart());
  flash.Load(0, std::vector<std::uint8_t>(ThePart().SizeBytes, 0x5A));
  std::uint64_t now = 0;
  Unprotect(flash, now);
  const auto chip =
      std::find_if(ThePart().Erasers.begin(), ThePart().Erasers.end(),
                   [](const EraseOp& op) { return op.Opcode != 0 && op.UnitBytes == 0; });
  ASSERT_NE(chip, ThePart().Erasers.end());
  Spi(flash, {0x06}, now);
  Spi(flash, {chip->Opcode}, now);
  EXPECT_TRUE(std::all_of(flash.Contents().begin(), flash.Contents().end(),
                          [](auto b) { return b == 0xFF; }));
}

INSTANTIATE_TEST_SUITE_P(Parts, EveryPartTest,
                         ::testing::Range<std::size_t>(0, SerialFlashParts().size()),
                         [](const auto& info) {
                           std::string name = SerialFlashParts()[info.param].Name;
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                               '_');
                           return name;
                         });

TEST(SerialFlashTest, ProgramOverDataGivesTheAnd) {
  SerialFlash flash(Part("W25X10"));
  std::uint64_t now = 0;
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0x02, 0x40, {0xF0, 0x0F, 0xAA}), now);
  now = flash.BusyUntilUs();
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0x02, 0x40, {0x3C, 0xFF, 0x55}), now);
  now = flash.BusyUntilUs();
  EXPECT_EQ(Read(flash, 0x40, 4, now), (std::vector<std::uint8_t>{0x30, 0x0F, 0x00, 0xFF}));
}

TEST(SerialFlashTest, ProgramAndEraseNeedTheWriteEnableLatch) {
  SerialFlash flash(Part("W25X10"));
  flash.Load(0x1000, std::vector<std::uint8_t>(16, 0x00));
  Spi(flash, WithAddress(0x02, 0x0, {0x00}), 0);
  Spi(flash, WithAddress(0x20, 0x1000), 0);
  EXPECT_EQ(flash.Contents()[0x0], 0xFF);
  EXPECT_EQ(flash.Contents()[0x1000], 0x00);
  EXPECT_FALSE(flash.IsBusy(0));
  // The latch is spent by the operation it allowed.
  Spi(flash, {0x06}, 0);
  EXPECT_EQ(flash.Status(0) & kStatusWriteEnable, kStatusWriteEnable);
  Spi(flash, WithAddress(0x20, 0x1000), 0);
  EXPECT_EQ(flash.Status(0) & kStatusWriteEnable, 0);
  EXPECT_EQ(flash.Contents()[0x1000], 0xFF);
}

TEST(SerialFlashTest, ProtectedFlashRefusesEraseAndProgramUntilWriteStatusZero) {
  SerialFlash flash(Part("AT25DF041A"));  // powers on protected
  flash.Load(0, std::vector<std::uint8_t>(4096, 0x11));
  EXPECT_EQ(flash.Status(0) & 0x0C, 0x0C);
  std::uint64_t now = 0;

  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0x20, 0), now);
  Spi(flash, {0x06}, now);
  Spi(flash, {0xC7}, now);
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0x02, 0x2000, {0x00}), now);
  EXPECT_EQ(flash.Contents()[0], 0x11);
  EXPECT_EQ(flash.Contents()[0x2000], 0xFF);
  EXPECT_FALSE(flash.IsBusy(now));

  // WRITE STATUS without the latch is ignored as well.
  Spi(flash, {0x01, 0x00}, now);
  EXPECT_EQ(flash.Status(now) & 0x0C, 0x0C);

  Spi(flash, {0x06}, now);
  Spi(flash, {0x01, 0x00}, now);
  now = flash.BusyUntilUs();
  EXPECT_EQ(flash.Status(now) & 0x0C, 0);
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0x20, 0), now);
  EXPECT_EQ(flash.Contents()[0], 0xFF);
}

TEST(SerialFlashTest, SstWriteStatusNeedsEnableWriteStatusRightBefore) {
  SerialFlash flash(Part("SST25VF512A"));
  EXPECT_EQ(flash.Status(0) & 0x0C, 0x0C);
  Spi(flash, {0x50}, 0);
  Spi(flash, {0x05, 0x00}, 0);  // anything in between spends the enable
  Spi(flash, {0x01, 0x00}, 0);
  EXPECT_EQ(flash.Status(0) & 0x0C, 0x0C);
  Spi(flash, {0x50}, 0);
  Spi(flash, {0x01, 0x00, 0x00}, 0);
  EXPECT_EQ(flash.Status(0) & 0x0C, 0);
}

TEST(SerialFlashTest, BusyUntilTheDataSheetTimeAndDeafMeanwhile) {
  SerialFlash flash(Part("W25X10"));
  const std::uint32_t eraseUs = Part("W25X10").FindEraser(0x20)->TimeUs;
  flash.Load(0x0, std::vector<std::uint8_t>(8192, 0x00));
  Spi(flash, {0x06}, 1000);
  Spi(flash, WithAddress(0x20, 0x0), 1000);

  const std::uint64_t lastBusy = 1000 + eraseUs - 1;
  EXPECT_EQ(Spi(flash, {0x05, 0x00}, lastBusy)[1] & kStatusBusy, kStatusBusy);
  // While busy a read returns nothing but the idle line and a write enable is not taken.
  EXPECT_EQ(Read(flash, 0x1000, 2, lastBusy), (std::vector<std::uint8_t>{0xFF, 0xFF}));
  Spi(flash, {0x06}, lastBusy);
  EXPECT_EQ(Spi(flash, {0x05, 0x00}, lastBusy + 1)[1], 0x00);
  EXPECT_EQ(Read(flash, 0x1000, 2, lastBusy + 1), (std::vector<std::uint8_t>{0x00, 0x00}));
}

TEST(SerialFlashTest, StuckBusyNeverFinishesUntilPowerCycle) {
  SerialFlash flash(Part("W25X10"));
  flash.SetStuckBusy(true);
  EXPECT_TRUE(flash.IsBusy(1ull << 40));
  flash.PowerOn();
  EXPECT_FALSE(flash.IsBusy(0));
}

TEST(SerialFlashTest, PageProgramWrapsInsideItsPage) {
  SerialFlash flash(Part("MX25V512-P32"));
  const std::vector<std::uint8_t> data = Pattern(16, 0x40);
  Spi(flash, {0x06}, 0);
  Spi(flash, WithAddress(0x02, 0x118, data), 0);
  const std::uint64_t now = flash.BusyUntilUs();
  EXPECT_EQ(Read(flash, 0x118, 8, now), std::vector<std::uint8_t>(data.begin(), data.begin() + 8));
  EXPECT_EQ(Read(flash, 0x100, 8, now), std::vector<std::uint8_t>(data.begin() + 8, data.end()));
  EXPECT_EQ(Read(flash, 0x120, 1, now)[0], 0xFF);
}

TEST(SerialFlashTest, MoreThanAPageKeepsTheLastPageOfBytes) {
  SerialFlash flash(Part("W25X10"));
  const std::vector<std::uint8_t> data = Pattern(300, 0x03);
  Spi(flash, {0x06}, 0);
  Spi(flash, WithAddress(0x02, 0x200, data), 0);
  EXPECT_EQ(Read(flash, 0x200, 256, flash.BusyUntilUs()),
            std::vector<std::uint8_t>(data.begin() + 44, data.end()));
}

TEST(SerialFlashTest, SstByteAutoIncrementProgramsARun) {
  SerialFlash flash(Part("SST25VF010A"));
  std::uint64_t now = 0;
  Spi(flash, {0x50}, now);
  Spi(flash, {0x01, 0x00, 0x00}, now);
  // Without a run the short form does nothing.
  Spi(flash, {0x06}, now);
  Spi(flash, {0xAF, 0x12}, now);
  EXPECT_EQ(flash.Contents()[0], 0xFF);

  Spi(flash, WithAddress(0xAF, 0x300, {0xA1, 0x00}), now);
  EXPECT_TRUE(flash.InAaiMode());
  EXPECT_EQ(flash.Status(now) & kStatusAai, kStatusAai);
  for (std::uint8_t value : {0xA2, 0xA3}) {
    now = flash.BusyUntilUs();
    Spi(flash, {0xAF, value}, now);
  }
  now = flash.BusyUntilUs();
  Spi(flash, {0x04}, now);
  EXPECT_FALSE(flash.InAaiMode());
  EXPECT_EQ(Read(flash, 0x300, 4, now), (std::vector<std::uint8_t>{0xA1, 0xA2, 0xA3, 0xFF}));
}

TEST(SerialFlashTest, SstWordRunContinuesAcrossTheUnprotectCommands) {
  SerialFlash flash(Part("SST25VF016B"));
  std::uint64_t now = 0;
  Spi(flash, {0x50}, now);
  Spi(flash, {0x01, 0x00, 0x00}, now);
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0xAD, 0x4000, {0x01, 0x02}), now);
  now = flash.BusyUntilUs();
  Spi(flash, {0xAD, 0x03, 0x04}, now);
  now = flash.BusyUntilUs();
  // The next run starts with EWSR, WRSR and WREN; during a run they are not taken, and the run
  // goes on where it stood.
  Spi(flash, {0x50}, now);
  Spi(flash, {0x01, 0x00, 0x00}, now);
  Spi(flash, {0x06}, now);
  Spi(flash, {0xAD, 0x05, 0x06}, now);
  now = flash.BusyUntilUs();
  Spi(flash, {0x04}, now);
  EXPECT_EQ(Read(flash, 0x4000, 7, now),
            (std::vector<std::uint8_t>{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF}));
  // This part has no byte auto-increment.
  Spi(flash, {0x06}, now);
  Spi(flash, WithAddress(0xAF, 0x8000, {0x00}), now);
  EXPECT_EQ(flash.Contents()[0x8000], 0xFF);
}

TEST(SerialFlashTest, BootSectorsAreErasedOneByOne) {
  SerialFlash flash(Part("A25L05PU"));
  struct Case {
    std::uint32_t address, start, size;
  };
  for (const Case& c :
       {Case{0x0000, 0x0000, 0x1000}, Case{0x1000, 0x1000, 0x1000}, Case{0x3000, 0x2000, 0x2000},
        Case{0x7000, 0x4000, 0x4000}, Case{0xF000, 0x8000, 0x8000}}) {
    flash.Load(0, std::vector<std::uint8_t>(0x10000, 0x00));
    Spi(flash, {0x06}, 0);
    Spi(flash, WithAddress(0xD8, c.address), 0);
    flash.PowerOn();  // ends the busy time for the next case
    for (std::uint32_t a = 0; a < 0x10000; a += 0x800) {
      const bool inside = a >= c.start && a < c.start + c.size;
      EXPECT_EQ(flash.Contents()[a], inside ? 0xFF : 0x00)
          << std::hex << "erase at " << c.address << ", byte " << a;
    }
  }
}

TEST(SerialFlashTest, EachOpcodeErasesItsOwnUnit) {
  struct Case {
    const char* part;
    std::uint8_t opcode;
    std::uint32_t unit;
  };
  for (const Case& c : {Case{"W25X10", 0x20, 0x1000}, Case{"W25X10", 0x52, 0x8000},
                        Case{"W25X10", 0xD8, 0x10000}, Case{"M25P05-A", 0xD8, 0x8000},
                        Case{"AT25F512A", 0x52, 0x8000}, Case{"Pm25LV010", 0xD7, 0x1000}}) {
    SerialFlash flash(Part(c.part));
    flash.Load(0, std::vector<std::uint8_t>(flash.Part().SizeBytes, 0x00));
    const std::uint32_t target = c.unit + c.unit / 2 + 5;
    Spi(flash, {0x06}, 0);
    Spi(flash, WithAddress(c.opcode, target % flash.Part().SizeBytes), 0);
    const std::uint32_t start = (target % flash.Part().SizeBytes) / c.unit * c.unit;
    const auto& bytes = flash.Contents();
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0xFF), static_cast<long>(c.unit)) << c.part;
    EXPECT_EQ(bytes[start], 0xFF) << c.part;
    EXPECT_EQ(bytes[start + c.unit - 1], 0xFF) << c.part;
  }
}

TEST(SerialFlashTest, PowerOnForgetsLatchAndRunButKeepsContents) {
  SerialFlash flash(Part("SST25VF010A"));
  Spi(flash, {0x50}, 0);
  Spi(flash, {0x01, 0x00}, 0);
  Spi(flash, {0x06}, 0);
  Spi(flash, WithAddress(0xAF, 0x10, {0x42}), 0);
  flash.PowerOn();
  EXPECT_FALSE(flash.InAaiMode());
  EXPECT_EQ(flash.Status(0), 0x0C);  // protect bits back as at power-on
  EXPECT_EQ(flash.Contents()[0x10], 0x42);
}

}  // namespace
}  // namespace q71x::sim
