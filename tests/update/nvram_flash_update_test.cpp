// SPDX-License-Identifier: GPL-2.0-or-later
// The NVRAM-preserving update end to end against simulated flash: which configuration area ends
// up at flash address 0, the 4 KB carry from block to block and the tail write, the engineering
// actions, and every row of its failure table.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "src/update/serial/nvram_flash_update.h"
#include "tests/update/expected_texts.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t k4K = 4096;
constexpr std::uint32_t k16K = 16384;
constexpr std::uint32_t k32K = 32768;

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t length) {
  return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
          bytes.begin() + static_cast<std::ptrdiff_t>(from + length)};
}

// (address, length) of every block write, in order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Writes(SerialFlashRig& rig) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> writes;
  for (const sim::LoggedCommand* c : rig.Ff04Commands(0x11)) {
    writes.emplace_back(SerialFlashRig::AddressOf(*c), c->WireLength);
  }
  return writes;
}

TEST(UpdateFlashWithNvram, DeviceAreaLayoutOfA40KilobyteFile) {
  SerialFlashRig rig(Qvk842Eon());
  const Bytes image = rig.WriteImage(40 * 1024);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ(0u, rig.window.state.FileHasNvram);
  EXPECT_EQ((std::vector<std::uint32_t>{0, k32K}), rig.EraseAddresses());
  EXPECT_EQ((std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                {0, k16K}, {k16K, k16K}, {2 * k16K, k16K}}),
            Writes(rig));
  EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
  EXPECT_EQ(image, rig.FlashRange(k4K, 40 * 1024));
  EXPECT_EQ(Bytes(k4K, 0x00), rig.FlashRange(44 * 1024, k4K));
  EXPECT_TRUE(rig.FlashErased(48 * 1024, k16K));
  EXPECT_EQ(
      (std::vector<std::string>{"Erasing", "Erasing.", "Erasing..", "Programming", "Programming.",
                                "Programming..", "Programming...", "Programming Success!!"}),
      rig.window.statusHistory);
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
  // The window takes no input while this procedure runs; it only repaints the status.
  EXPECT_EQ(0, rig.window.messagePumps);
  EXPECT_GT(rig.window.redraws, 0);
}

TEST(UpdateFlashWithNvram, TenKilobyteFileEndsWithATailOfZeros) {
  SerialFlashRig rig(Qvk842Eon());
  const Bytes image = rig.WriteImage(10 * 1024);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ(std::vector<std::uint32_t>{0}, rig.EraseAddresses());
  EXPECT_EQ((std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, k16K}, {k16K, k4K}}),
            Writes(rig));
  EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
  EXPECT_EQ(image, rig.FlashRange(k4K, 10 * 1024));
  EXPECT_EQ(Bytes(2 * 1024 + k4K, 0x00), rig.FlashRange(14 * 1024, 6 * 1024));
  EXPECT_TRUE(rig.FlashErased(20 * 1024, 12 * 1024));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateFlashWithNvram, ThirtyTwoKilobyteFileCarriesItsLast4KilobytesIntoTheTail) {
  SerialFlashRig rig(Qvk842Eon());
  const Bytes image = rig.WriteImage(k32K);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ((std::vector<std::uint32_t>{0, k32K}), rig.EraseAddresses());
  EXPECT_EQ(
      (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0, k16K}, {k16K, k16K}, {k32K, k4K}}),
      Writes(rig));
  EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
  EXPECT_EQ(image, rig.FlashRange(k4K, k32K));
  EXPECT_TRUE(rig.FlashErased(k32K + k4K, k32K - k4K));
}

TEST(UpdateFlashWithNvram, FileAreaModeWritesTheFileUnchangedAndReadsNothingFirst) {
  SerialFlashRig rig(Qvk842Eon());
  rig.window.nvram = true;
  const Bytes image = rig.WriteImage(48 * 1024, /*nvramBlock=*/true);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ(1u, rig.window.state.FileHasNvram);
  EXPECT_EQ(image, rig.FlashRange(0, 48 * 1024));
  const auto& log = rig.system.Log().Entries();
  const auto firstErase = std::find_if(log.begin(), log.end(), [](const sim::LoggedCommand& c) {
    return c.Cdb[0] == 0xFF && c.Cdb[2] == 0x14;
  });
  ASSERT_NE(log.end(), firstErase);
  EXPECT_TRUE(std::none_of(log.begin(), firstErase, [](const sim::LoggedCommand& c) {
    return c.Cdb[0] == 0xFF && c.Cdb[2] == 0x10;
  }));
  EXPECT_EQ(3u, Writes(rig).size());
}

// The file brings the area, so nothing was kept that a stop in the erase could put back.
TEST(UpdateFlashWithNvram, FileAreaModeWritesNothingAfterAStopInTheErase) {
  SerialFlashRig rig(Qvk842Eon());
  rig.window.nvram = true;
  rig.WriteImage(48 * 1024, /*nvramBlock=*/true);
  rig.ArmFault({0xFF, 0x04, 0x10}, 1, FaultKind::Fail);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ("Read back after erase fail!!", rig.window.StatusText());
  EXPECT_TRUE(Writes(rig).empty());
  EXPECT_TRUE(rig.FlashErased(0, k32K));
}

TEST(UpdateFlashWithNvram, DeviceAreaModeReplacesTheFilesOwnConfigurationArea) {
  SerialFlashRig rig(Qvk842Eon());
  const Bytes image = rig.WriteImage(48 * 1024, /*nvramBlock=*/true);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ(1u, rig.window.state.FileHasNvram);
  EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
  EXPECT_EQ(Slice(image, k4K, 44 * 1024), rig.FlashRange(k4K, 44 * 1024));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateFlashWithNvram, NvramTickWithoutAConfigurationAreaInTheFileStillKeepsTheDevices) {
  SerialFlashRig rig(Qvk842Eon());
  rig.window.nvram = true;
  const Bytes image = rig.WriteImage(k16K);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
  EXPECT_EQ(image, rig.FlashRange(k4K, k16K));
}

TEST(UpdateFlashWithNvram, ChipType10PreparesTheBridgeBeforeErasing) {
  SerialFlashRig rig(Qvn962Early());
  const Bytes image = rig.WriteImage(k16K);

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  const auto& log = rig.system.Log().Entries();
  const auto prepare = std::find_if(log.begin(), log.end(), [](const sim::LoggedCommand& c) {
    return c.Cdb[0] == 0xFF && c.Cdb[2] == 0x25;
  });
  const auto erase = std::find_if(log.begin(), log.end(), [](const sim::LoggedCommand& c) {
    return c.Cdb[0] == 0xFF && c.Cdb[2] == 0x14;
  });
  ASSERT_NE(log.end(), prepare);
  EXPECT_LT(prepare, erase);
  EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
  EXPECT_EQ(image, rig.FlashRange(k4K, k16K));

  SerialFlashRig other(Qvk842Eon());
  other.WriteImage(k16K);
  EXPECT_EQ(1, UpdateFlashWithNvram(other.window, other.path));
  EXPECT_TRUE(other.Ff04Commands(0x25).empty());
}

TEST(UpdateFlashWithNvram, EraseOnlyRestoresTheConfigurationAreaUnlessItIsIncluded) {
  for (bool included : {false, true}) {
    SCOPED_TRACE(included ? "Include 4K NVRAM" : "device area kept");
    SerialFlashRig rig(Qvk842Eon());
    rig.window.TickFor(EngineeringAction::EraseOnly);
    rig.window.nvram = included;

    EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

    if (included) {
      EXPECT_TRUE(rig.FlashErased(0, 65536));
    } else {
      EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
      EXPECT_TRUE(rig.FlashErased(k4K, 65536 - k4K));
    }
    EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
  }
}

TEST(UpdateFlashWithNvram, BackupOnlyLeavesOutTheConfigurationAreaUnlessItIsIncluded) {
  for (bool included : {false, true}) {
    SCOPED_TRACE(included ? "Include 4K NVRAM" : "without the area");
    SerialFlashRig rig(Qvk842Eon());
    rig.window.TickFor(EngineeringAction::BackupOnly);
    rig.window.nvram = included;

    EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

    const std::uint32_t from = included ? 0 : k4K;
    EXPECT_EQ(rig.FlashRange(from, 65536 - from), ReadFileBytes(rig.window.backupFile));
    EXPECT_EQ(rig.oldFlash, rig.Flash());
  }
}

// --- The failure table ------------------------------------------------------------------------

enum class FlashLeft {
  Untouched,
  Erased,
  LowerSectorErasedAreaKept,  // a stop in the erase puts the device's area back
  FirstBlockOnly,
  TwoBlocks,
  SecondBlockCut,  // block 1 got its first 100 bytes, zeros after them
  FirstBlockAndTail,
  ErasedAreaRestored,  // everything erased but the device's area, which was put back
};

struct FailureRow {
  const char* Name;
  SerialDevice Device;
  std::size_t ImageSize;
  std::function<void(SerialFlashRig&)> Arrange;
  const char* Text;
  int Result;
  FlashLeft Left;
  int FailingAllocation;  // the work-buffer request that fails, 0 for none
};

void CheckFlashLeft(SerialFlashRig& rig, Bytes image, FlashLeft left) {
  image.resize(65536, 0x00);
  Bytes firstBlock = rig.config;
  firstBlock.insert(firstBlock.end(), image.begin(), image.begin() + (k16K - k4K));
  switch (left) {
    case FlashLeft::Untouched:
      EXPECT_EQ(rig.oldFlash, rig.Flash());
      break;
    case FlashLeft::Erased:
      EXPECT_TRUE(rig.FlashErased(0, 65536));
      break;
    case FlashLeft::LowerSectorErasedAreaKept:
      EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
      EXPECT_TRUE(rig.FlashErased(k4K, k32K - k4K));
      EXPECT_EQ(rig.OldFlashRange(k32K, k32K), rig.FlashRange(k32K, k32K));
      break;
    case FlashLeft::FirstBlockOnly:
      EXPECT_EQ(firstBlock, rig.FlashRange(0, k16K));
      EXPECT_TRUE(rig.FlashErased(k16K, k16K));
      break;
    case FlashLeft::TwoBlocks:
      EXPECT_EQ(firstBlock, rig.FlashRange(0, k16K));
      EXPECT_EQ(Slice(image, k16K - k4K, k16K), rig.FlashRange(k16K, k16K));
      EXPECT_TRUE(rig.FlashErased(k32K, k32K));
      break;
    case FlashLeft::SecondBlockCut:
      EXPECT_EQ(firstBlock, rig.FlashRange(0, k16K));
      EXPECT_EQ(Slice(image, k16K - k4K, 100), rig.FlashRange(k16K, 100));
      EXPECT_EQ(Bytes(k16K - 100, 0x00), rig.FlashRange(k16K + 100, k16K - 100));
      break;
    case FlashLeft::ErasedAreaRestored:
      EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
      EXPECT_TRUE(rig.FlashErased(k4K, 65536 - k4K));
      break;
    case FlashLeft::FirstBlockAndTail:
      EXPECT_EQ(firstBlock, rig.FlashRange(0, k16K));
      EXPECT_EQ(Bytes(k4K, 0x00), rig.FlashRange(k16K, k4K));
      EXPECT_TRUE(rig.FlashErased(k16K + k4K, k16K - k4K));
      break;
  }
}

TEST(UpdateFlashWithNvram, FailureTable) {
  const auto fault = [](std::initializer_list<std::uint8_t> prefix, int nth, FaultKind kind,
                        std::uint32_t value = 0) {
    return [prefix = std::vector<std::uint8_t>(prefix), nth, kind, value](SerialFlashRig& rig) {
      sim::FaultRule rule;
      for (std::size_t i = 0; i < prefix.size(); ++i) {
        rule.Pattern.With(i, prefix[i]);
      }
      rule.Nth = nth;
      rule.Kind = kind;
      rule.Value = value;
      rig.system.Faults().Arm(rule);
    };
  };
  const auto nothing = [](SerialFlashRig&) {};
  const std::uint32_t k40K = 40 * 1024;
  const std::vector<FailureRow> rows = {
      {"configuration buffer cannot be had", Qvk842Eon(), k40K, nothing, "Allocate buffers Error!!",
       0, FlashLeft::Untouched, 1},
      {"block buffers cannot be had", Qvk842Eon(), k40K, nothing, "Allocate buffers Error!!", 0,
       FlashLeft::Untouched, 4},
      {"reading the configuration area fails", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x10}, 1, FaultKind::Fail), "Backup NVRAM command fail!", 0,
       FlashLeft::Untouched, 0},
      // The area is read twice before anything is erased; answers that report success but are
      // not the area would otherwise be programmed back as the configuration.
      {"the second read of the configuration area fails", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x10}, 2, FaultKind::Fail), "Backup NVRAM command fail!", 0,
       FlashLeft::Untouched, 0},
      {"the configuration area answers short", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x10}, 1, FaultKind::Short, 100), "Backup NVRAM command fail!", 0,
       FlashLeft::Untouched, 0},
      {"the configuration area answers garbage", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x10}, 2, FaultKind::Garbage, 7), "Backup NVRAM command fail!", 0,
       FlashLeft::Untouched, 0},
      {"erase-only: the configuration area cannot be proven", Qvk842Eon(), k40K,
       [fault](SerialFlashRig& rig) {
         rig.window.TickFor(EngineeringAction::EraseOnly);
         fault({0xFF, 0x04, 0x10}, 1, FaultKind::Garbage, 7)(rig);
       },
       "Backup NVRAM command fail!", 0, FlashLeft::Untouched, 0},
      {"ATMEL write-enable latch does not set", Device(6, 1, "AT25F512B", 49152, 0, k4K), k40K,
       fault({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06}, 1, FaultKind::Fail),
       "Enable ATMEL flash write enable fail!!", 0, FlashLeft::Untouched, 0},
      {"image file cannot be opened", Qvk842Eon(), k40K,
       [](SerialFlashRig& rig) { rig.window.firmwareFile = rig.dir.File("missing.bin"); },
       "Open File Error!!", 0, FlashLeft::Untouched, 0},
      // Every write refused: the restore cannot put the area back either.
      {"writing the area back after erase-only fails for good", Qvk842Eon(), k40K,
       [](SerialFlashRig& rig) {
         rig.window.TickFor(EngineeringAction::EraseOnly);
         rig.ArmFault({0xFF, 0x04, 0x11}, 1, FaultKind::Fail, 0);
       },
       "Write NVRAM back command fail!", 0, FlashLeft::Erased, 0},
      {"a sector erase is refused", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x14}, 2, FaultKind::Fail), "Erase command fail!!", 1,
       FlashLeft::LowerSectorErasedAreaKept, 0},
      // Reads 1 to 3 are the configuration area (its second copy in two pieces); the blank check
      // is the fourth.
      {"a blank-check read fails", Qvk842Eon(), k40K, fault({0xFF, 0x04, 0x10}, 4, FaultKind::Fail),
       "Read back after erase fail!!", 1, FlashLeft::LowerSectorErasedAreaKept, 0},
      // Powers on protected, and nothing here clears it: the erase changes nothing.
      {"an erased half-sector is not blank", Device(6, 1, "AT25DF041A", 49152, 0, k4K), k40K,
       nothing, "Data not 0xff !!", 1, FlashLeft::Untouched, 0},
      // Block 0 carries the device's area back; a stop there must not leave it erased or spoiled.
      {"the first block write fails", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x11}, 1, FaultKind::Fail), "Write command fail!", 1,
       FlashLeft::ErasedAreaRestored, 0},
      {"the first block arrives garbled", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x11}, 1, FaultKind::Garbage, 7), "Data compare fail !!", 1,
       FlashLeft::ErasedAreaRestored, 0},
      {"a block write fails", Qvk842Eon(), k40K, fault({0xFF, 0x04, 0x11}, 2, FaultKind::Fail),
       "Write command fail!", 1, FlashLeft::FirstBlockOnly, 0},
      // The blank check read 0x4000 once already; the second read there checks block 1.
      {"a block read-back fails", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x10, 0x00, 0x40, 0x00}, 2, FaultKind::Fail), "Write command fail!", 1,
       FlashLeft::TwoBlocks, 0},
      {"a block reads back different", Qvk842Eon(), k40K,
       fault({0xFF, 0x04, 0x11}, 2, FaultKind::Short, 100), "Data compare fail !!", 1,
       FlashLeft::SecondBlockCut, 0},
      {"the tail write fails", Qvk842Eon(), 10 * 1024,
       fault({0xFF, 0x04, 0x11}, 2, FaultKind::Fail), "Write command fail!", 1,
       FlashLeft::FirstBlockOnly, 0},
      {"the tail reads back different", Qvk842Eon(), 10 * 1024,
       fault({0xFF, 0x04, 0x10, 0x00, 0x40, 0x00}, 2, FaultKind::Garbage, 7),
       "Data compare fail !!", 1, FlashLeft::FirstBlockAndTail, 0},
  };
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.Name);
    SerialFlashRig rig(row.Device);
    const Bytes image = rig.WriteImage(row.ImageSize);
    row.Arrange(rig);
    std::optional<FailingWorkBuffer> failing;
    if (row.FailingAllocation != 0) {
      failing.emplace(row.FailingAllocation);
    }

    EXPECT_EQ(row.Result, UpdateFlashWithNvram(rig.window, rig.path));

    EXPECT_EQ(row.Text, rig.window.StatusText());
    CheckFlashLeft(rig, image, row.Left);
    EXPECT_TRUE(rig.dialogs.Boxes().empty()) << "failures show no box";
  }
}

// The write-back after the erase-only action is followed by the restore; once that has put the
// area back, the erase's own outcome is what the operator reads, not a claim that the area is gone.
TEST(UpdateFlashWithNvram, EraseOnlyWriteBackRepairedByTheRestoreKeepsTheErasesOutcome) {
  struct Case {
    const char* Name;
    std::function<void(SerialFlashRig&)> Arrange;
    const char* Text;
    int Result;
    bool PowerCycleBox;
  };
  const auto writeBack = [](FaultKind kind, std::uint32_t value = 0) {
    return [kind, value](SerialFlashRig& rig) {
      rig.ArmFault({0xFF, 0x04, 0x11}, 1, kind, 1, value);
    };
  };
  const Case cases[] = {
      {"the write-back is refused", writeBack(FaultKind::Fail), "Erase flash all success!", 1,
       true},
      {"the write-back arrives short", writeBack(FaultKind::Short, 100), "Erase flash all success!",
       1, true},
      {"the write-back arrives garbled", writeBack(FaultKind::Garbage, 7),
       "Erase flash all success!", 1, true},
      // Reads: the area twice (three reads), the blank check, then the write-back's read-back.
      {"the write-back's read-back fails",
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x10}, 5, FaultKind::Fail);
       },
       "Erase flash all success!", 1, true},
      // The first sector erase takes the area, the second is refused; the write-back is refused
      // too, and the restore puts the area back: the erase's failure is what went wrong.
      {"the erase fails and so does the write-back",
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x14}, 2, FaultKind::Fail);
         rig.ArmFault({0xFF, 0x04, 0x11}, 1, FaultKind::Fail);
       },
       "Erase command fail!!", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SerialFlashRig rig(Qvk842Eon());
    rig.WriteImage(40 * 1024);
    rig.window.TickFor(EngineeringAction::EraseOnly);
    c.Arrange(rig);

    EXPECT_EQ(c.Result, UpdateFlashWithNvram(rig.window, rig.path));

    EXPECT_EQ(c.Text, rig.window.StatusText());
    EXPECT_EQ(rig.config, rig.FlashRange(0, k4K));
    EXPECT_EQ(c.PowerCycleBox ? 1u : 0u, rig.dialogs.Boxes().size());
    if (c.Result == 1) {
      EXPECT_TRUE(rig.FlashErased(k4K, 65536 - k4K));
    }
  }
}

}  // namespace
}  // namespace q71x::testing
