// SPDX-License-Identifier: GPL-2.0-or-later
// The serial-flash update end to end against simulated flash parts: the layouts it leaves, the
// configuration copy at 0x8000, the engineering actions and every row of its failure table.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "src/device/flash_commands.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/support/debug_lines.h"
#include "tests/update/expected_texts.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;

constexpr std::uint32_t kConfigAt = 0x8000;

// The image as the flash must hold it: the file, then zeros up to the programmed area.
std::vector<std::uint8_t> PaddedTo(std::vector<std::uint8_t> image, std::size_t area) {
  image.resize(area, 0x00);
  return image;
}

std::vector<std::uint32_t> WriteLengths(SerialFlashRig& rig) {
  std::vector<std::uint32_t> lengths;
  for (const sim::LoggedCommand* c : rig.Ff04Commands(0x11)) {
    lengths.push_back(c->WireLength);
  }
  return lengths;
}

bool WroteConfigCopy(SerialFlashRig& rig) {
  for (const sim::LoggedCommand* c : rig.Ff04Commands(0x11)) {
    if (SerialFlashRig::AddressOf(*c) == kConfigAt && c->WireLength == 512) {
      return true;
    }
  }
  return false;
}

// The flash parts behind the bridge's default sector erase: 64 KB units (the configuration copy
// is erased with the lower half and must be written back) and 32 KB units (it is never erased,
// so it is not written over either).
TEST(UpdateSerialFlash, SmallImageKeepsTheConfigurationCopyWhateverTheEraseUnit) {
  struct Case {
    const char* Part;
    std::vector<std::uint32_t> Writes;
  };
  for (const Case& c :
       {Case{"W25X10", {8192, 8192, 8192, 8192, 512}}, Case{"EN25P05", {8192, 8192, 8192, 8192}}}) {
    SCOPED_TRACE(c.Part);
    SerialFlashRig rig(Device(1, 1, c.Part));
    const auto image = rig.WriteImage(16384);
    ::testing::internal::CaptureStdout();

    EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

    EXPECT_EQ("NVRAM O.K.\nwrite NVRAM O.K.\n", ::testing::internal::GetCapturedStdout());
    EXPECT_EQ(PaddedTo(image, 32768), rig.FlashRange(0, 32768));
    EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
    EXPECT_EQ(std::vector<std::uint32_t>{0}, rig.EraseAddresses());
    EXPECT_EQ(c.Writes, WriteLengths(rig));
    EXPECT_EQ((std::vector<std::string>{".", "..", "...", "....", "Programming Success!!"}),
              rig.window.statusHistory);
    ASSERT_EQ(1u, rig.dialogs.Boxes().size());
    EXPECT_EQ(kPowerCycleAfterUpdate, rig.dialogs.Boxes()[0].Text);
    EXPECT_EQ("Message", rig.dialogs.Boxes()[0].Caption);
  }
}

TEST(UpdateSerialFlash, ImageIntoTheUpperHalfErasesBothHalvesAndTakesTheConfigurationPlace) {
  SerialFlashRig rig(Device(1, 1, "EN25P05"));
  const auto image = rig.WriteImage(49152);
  ::testing::internal::CaptureStdout();

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ("NVRAM O.K.\n", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ(image, rig.FlashRange(0, 49152));
  EXPECT_EQ((std::vector<std::uint32_t>{0, 0x8000}), rig.EraseAddresses());
  EXPECT_EQ(std::vector<std::uint32_t>(6, 8192), WriteLengths(rig));
  EXPECT_FALSE(WroteConfigCopy(rig));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateSerialFlash, ImageAbove64KilobytesErasesTheChipAndReadsNoConfigurationCopy) {
  SerialFlashRig rig(Qv40714Winbond());
  const auto image = rig.WriteImage(65537);
  ::testing::internal::CaptureStdout();

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ(PaddedTo(image, 73728), rig.FlashRange(0, 73728));
  EXPECT_EQ(1u, rig.Ff04Commands(0x13).size());
  EXPECT_TRUE(rig.EraseAddresses().empty());
  EXPECT_EQ(std::vector<std::uint32_t>(9, 8192), WriteLengths(rig));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateSerialFlash, AmicBootSectorPartsGetTheFourBootErasesAndOneAtF000ForLargeImages) {
  struct Case {
    const char* Part;
    int Code;
  };
  for (const Case& c : {Case{"A25L05PU", 5}, Case{"A25L10PU", 3}, Case{"A25L20PU", 1}}) {
    for (std::size_t size : {std::size_t{16384}, std::size_t{49152}}) {
      SCOPED_TRACE(std::string(c.Part) + " " + std::to_string(size));
      SerialFlashRig rig(Qv40716Amic(c.Part));
      ASSERT_EQ(c.Code, rig.window.state.AmicFlashPart);
      const auto image = rig.WriteImage(size);

      EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

      std::vector<std::uint32_t> erases = {0x0000, 0x1000, 0x3000, 0x7000};
      if (size > 32768) {
        erases.push_back(0xF000);
      }
      EXPECT_EQ(erases, rig.EraseAddresses());
      const std::size_t area = std::max<std::size_t>(size, 32768);
      EXPECT_EQ(PaddedTo(image, area), rig.FlashRange(0, static_cast<std::uint32_t>(area)));
      if (size <= 32768) {
        EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
      }
      EXPECT_EQ("Programming Success!!", rig.window.StatusText());
    }
  }
}

TEST(UpdateSerialFlash, AmicCode4IsErasedLikeAnyOtherPart) {
  SerialFlashRig rig(Qv40716Amic("A25L512U"));
  ASSERT_EQ(4, rig.window.state.AmicFlashPart);
  const auto image = rig.WriteImage(16384);

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ(std::vector<std::uint32_t>{0}, rig.EraseAddresses());
  EXPECT_EQ(PaddedTo(image, 32768), rig.FlashRange(0, 32768));
  EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
}

TEST(UpdateSerialFlash, BlockCountDoesNotWrapAt256Blocks) {
  // A 1394 run leaves 256-byte blocks behind; a 64 KB image is then 256 of them.
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.settings.FlashPageSize = 256;
  const auto image = rig.WriteImage(65536);

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ(256u, WriteLengths(rig).size());
  EXPECT_EQ(image, rig.FlashRange(0, 65536));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

TEST(UpdateSerialFlash, MxicPartsAreUnprotectedFirst) {
  SerialFlashRig rig(Qv40713Mxic32());
  ASSERT_EQ(FlashVendor::Mxic, rig.window.state.FlashVendor);
  const auto image = rig.WriteImage(32768);

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  const auto& log = rig.system.Log().Entries();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ((std::vector<std::uint8_t>{0xFF, 0x04, 0x20, 0x01, 0x00, 0x06}),
            std::vector<std::uint8_t>(log[0].Cdb.begin(), log[0].Cdb.begin() + 6));
  EXPECT_EQ(1u,
            rig.system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x20, 0x02, 0x00, 0x01})));
  EXPECT_EQ(image, rig.FlashRange(0, 32768));
}

TEST(UpdateSerialFlash, EraseOnlyActionRunsAfterTheWriteEnableAndEndsWithItsOwnBox) {
  SerialFlashRig rig(Qv40714Atmel());
  rig.window.TickFor(EngineeringAction::EraseOnly);

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  const auto& log = rig.system.Log().Entries();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(0x20, log[0].Cdb[2]) << "ATMEL write enable comes first";
  EXPECT_TRUE(rig.FlashErased(0, 65536));
  EXPECT_TRUE(rig.Ff04Commands(0x11).empty());
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  EXPECT_EQ(std::vector<std::string>{"Please Turn-Off the Power and Turn-On Again!"},
            rig.dialogs.BoxTexts());
}

TEST(UpdateSerialFlash, BackupOnlyActionWritesTheFlashToTheFile) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.TickFor(EngineeringAction::BackupOnly);

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ(rig.FlashRange(0, 65536), ReadFileBytes(rig.window.backupFile));
  EXPECT_EQ(rig.oldFlash, rig.Flash());
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
}

struct ConfigFault {
  const char* Name;
  bool SecondRead;  // the second read starts 256 bytes before the copy
  FaultKind Kind;
  std::uint32_t Value;
};

// The copy to be kept must come from two agreeing reads: written back, a failed, short or garbled
// answer would replace the device's configuration.
TEST(UpdateSerialFlash, ConfigurationCopyThatCannotBeProvenStopsTheRunBeforeTheErase) {
  for (const ConfigFault& c :
       {ConfigFault{"first read fails", false, FaultKind::Fail, 0},
        ConfigFault{"second read fails", true, FaultKind::Fail, 0},
        ConfigFault{"first read answers short", false, FaultKind::Short, 100},
        ConfigFault{"second read answers garbage", true, FaultKind::Garbage, 3},
        ConfigFault{"read times out", false, FaultKind::Timeout, 0}}) {
    SCOPED_TRACE(c.Name);
    SerialFlashRig rig(Qv40714Winbond());
    rig.WriteImage(16384);
    rig.ArmFault(
        {0xFF, 0x04, 0x10, 0x00, static_cast<std::uint8_t>(c.SecondRead ? 0x7F : 0x80), 0x00}, 1,
        c.Kind, 1, c.Value);
    ::testing::internal::CaptureStdout();

    EXPECT_EQ(0, UpdateSerialFlash(rig.window, rig.path));

    EXPECT_EQ("NVRAM fail\n", ::testing::internal::GetCapturedStdout());
    EXPECT_EQ("Backup NVRAM command fail!", rig.window.StatusText());
    EXPECT_EQ(rig.oldFlash, rig.Flash());
    EXPECT_TRUE(rig.EraseAddresses().empty());
    EXPECT_TRUE(rig.Ff04Commands(0x11).empty());
    EXPECT_TRUE(rig.dialogs.Boxes().empty());
  }
}

// The image takes the place of the copy, so an unreadable copy costs nothing.
TEST(UpdateSerialFlash, ConfigurationCopyReadFailureDoesNotStopAnImageIntoTheUpperHalf) {
  SerialFlashRig rig(Device(1, 1, "EN25P05"));
  const auto image = rig.WriteImage(49152);
  rig.ArmFault({0xFF, 0x04, 0x10, 0x00, 0x80, 0x00}, 1, FaultKind::Fail);
  ::testing::internal::CaptureStdout();

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ("NVRAM fail\n", ::testing::internal::GetCapturedStdout());
  EXPECT_EQ(image, rig.FlashRange(0, 49152));
  EXPECT_FALSE(WroteConfigCopy(rig));
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
}

// W25X10's 64 KB erase takes the copy with the lower half; a write-back that did not take is
// tried again. Bits a garbled write cleared come back only with an erase of the unit, which takes
// the new image with it: the run fails, but the device keeps its configuration.
TEST(UpdateSerialFlash, ConfigurationWriteBackThatDidNotTakeIsWrittenAgain) {
  struct Case {
    const char* Name;
    FaultKind Kind;
    const char* Text;
    bool ImageKept;
  };
  for (const Case& c :
       {Case{"write refused", FaultKind::Fail, "Programming Success!!", true},
        Case{"write arrives short", FaultKind::Short, "Compare Fail!!\r\n\r\n", false},
        Case{"write arrives garbled", FaultKind::Garbage, "Compare Fail!!\r\n\r\n", false}}) {
    SCOPED_TRACE(c.Name);
    SerialFlashRig rig(Qv40714Winbond());
    const auto image = rig.WriteImage(16384);
    rig.ArmFault({0xFF, 0x04, 0x11, 0x00, 0x80, 0x00}, 1, c.Kind, 1, 100);
    ::testing::internal::CaptureStdout();

    EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(c.Text, rig.window.StatusText());
    EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
    if (c.ImageKept) {
      EXPECT_EQ(PaddedTo(image, 32768), rig.FlashRange(0, 32768));
      EXPECT_EQ(1u, rig.dialogs.Boxes().size());
    } else {
      EXPECT_TRUE(rig.FlashErased(0, 32768));
      EXPECT_TRUE(rig.dialogs.Boxes().empty());
    }
  }
}

// W25X10's 64 KB erase takes the copy: a run that stops at the blank check must not leave the
// device without it, or the operator's retry would keep the erased bytes as the configuration.
TEST(UpdateSerialFlash, StopAtTheBlankCheckStillPutsTheConfigurationCopyBack) {
  struct Case {
    FaultKind Kind;
    const char* Text;
  };
  for (const Case& c : {Case{FaultKind::Fail, "Read Back Erased Flash Error!!"},
                        Case{FaultKind::Garbage, "Data not 0xff !!"}}) {
    SCOPED_TRACE(c.Text);
    SerialFlashRig rig(Qv40714Winbond());
    rig.WriteImage(16384);
    rig.ArmFault({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, 1, c.Kind, 1, 3);
    ::testing::internal::CaptureStdout();

    EXPECT_EQ(0, UpdateSerialFlash(rig.window, rig.path));

    EXPECT_EQ("NVRAM O.K.\nwrite NVRAM O.K.\n", ::testing::internal::GetCapturedStdout());
    EXPECT_EQ(c.Text, rig.window.StatusText());
    EXPECT_TRUE(rig.FlashErased(0, 32768));
    EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
    EXPECT_TRUE(rig.dialogs.Boxes().empty());
  }
}

// Where the erase unit at 0 ends below 0x8000 the copy is never erased, and it is left alone:
// written over, a short or garbled write would spoil the intact copy (programming only clears
// bits). The fault armed on that write never gets its chance.
TEST(UpdateSerialFlash, CopyTheEraseNeverReachedIsNotWrittenOver) {
  for (const SerialDevice& device : {Device(1, 1, "EN25P05"), Qv40714Atmel(), Qv40716Amic()}) {
    SCOPED_TRACE(device.FlashPart);
    SerialFlashRig rig(device);
    const auto image = rig.WriteImage(16384);
    rig.ArmFault({0xFF, 0x04, 0x11, 0x00, 0x80, 0x00}, 1, FaultKind::Garbage, 1, 7);
    ::testing::internal::CaptureStdout();

    EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

    EXPECT_EQ("NVRAM O.K.\nwrite NVRAM O.K.\n", ::testing::internal::GetCapturedStdout());
    EXPECT_FALSE(WroteConfigCopy(rig));
    EXPECT_EQ(PaddedTo(image, 32768), rig.FlashRange(0, 32768));
    EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
    EXPECT_EQ("Programming Success!!", rig.window.StatusText());
    EXPECT_EQ(1u, rig.dialogs.Boxes().size());
  }
}

TEST(UpdateSerialFlash, FlashStillBusyAfterTheEraseIsReportedAndTheRunGoesOn) {
  // 7-second erases outlast the 5-second ready wait but not the blank-check read's time-out.
  SerialFlashRig rig(Qv40714Winbond(), SlowErasingPart("W25X10", 7'000'000));
  const auto image = rig.WriteImage(16384);
  // A chip erase left running keeps the flash busy through the first ready wait, too.
  ASSERT_EQ(1, EraseFlashChip(rig.path));

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ(std::vector<std::string>{"0.1 Device initial not ready!!"},
            ProcedureDebugLines(rig.platform.DebugLines()));
  EXPECT_EQ("Not ready after Erase flash success", rig.window.statusHistory.front());
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(PaddedTo(image, 32768), rig.FlashRange(0, 32768));
}

// --- The failure table ------------------------------------------------------------------------

enum class FlashLeft {
  Untouched,
  LowerHalfErased,
  AllButOneBootSectorErased,
  PartlyProgrammed,
  Programmed,
  Wrong
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

void CheckFlashLeft(SerialFlashRig& rig, const std::vector<std::uint8_t>& image, FlashLeft left) {
  const auto padded = PaddedTo(image, std::max<std::size_t>(image.size(), 32768));
  switch (left) {
    case FlashLeft::Untouched:
      EXPECT_EQ(rig.oldFlash, rig.Flash());
      break;
    case FlashLeft::LowerHalfErased:
      EXPECT_TRUE(rig.FlashErased(0, 32768));
      EXPECT_EQ(rig.OldFlashRange(32768, 32768), rig.FlashRange(32768, 32768));
      break;
    case FlashLeft::AllButOneBootSectorErased:
      EXPECT_TRUE(rig.FlashErased(0, 0x1000));
      EXPECT_EQ(rig.OldFlashRange(0x1000, 0x1000), rig.FlashRange(0x1000, 0x1000));
      EXPECT_TRUE(rig.FlashErased(0x2000, 0x6000));
      break;
    case FlashLeft::PartlyProgrammed:
      // Blocks 0-2 went in; the fourth was refused and the rest never sent.
      EXPECT_EQ(std::vector<std::uint8_t>(padded.begin(), padded.begin() + 3 * 8192),
                rig.FlashRange(0, 3 * 8192));
      EXPECT_TRUE(rig.FlashErased(3 * 8192, 8192));
      EXPECT_EQ(rig.config, rig.FlashRange(kConfigAt, 512));
      break;
    case FlashLeft::Programmed:
      EXPECT_EQ(padded, rig.FlashRange(0, static_cast<std::uint32_t>(padded.size())));
      break;
    case FlashLeft::Wrong:
      EXPECT_NE(padded, rig.FlashRange(0, static_cast<std::uint32_t>(padded.size())));
      break;
  }
}

TEST(UpdateSerialFlash, FailureTable) {
  const std::vector<FailureRow> rows = {
      {"ATMEL write-enable latch does not set", Qv40714Atmel(), 16384,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06}, 1, FaultKind::Fail);
       },
       "Enable ATMEL flash write enable fail!!", 0, FlashLeft::Untouched, 0},
      {"image file cannot be opened", Qv40714Winbond(), 16384,
       [](SerialFlashRig& rig) { rig.window.firmwareFile = rig.dir.File("missing.bin"); },
       "Open File Error!!", 0, FlashLeft::Untouched, 0},
      {"read buffer cannot be had", Qv40714Winbond(), 16384, [](SerialFlashRig&) {},
       "Allocate read buffer Error!!", 0, FlashLeft::Untouched, 1},
      {"write buffer cannot be had", Qv40714Winbond(), 16384, [](SerialFlashRig&) {},
       "Allocate write buffer Error!!", 0, FlashLeft::Untouched, 2},
      {"AMIC part code not handled", Qv40716Amic(), 16384,
       [](SerialFlashRig& rig) { rig.window.state.AmicFlashPart = 2; },
       "Not Support this AMIC Flash Type!!", 0, FlashLeft::Untouched, 0},
      {"chip erase refused", Qv40714Winbond(), 65537,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x13}, 1, FaultKind::Fail);
       },
       "Erase command fail!!", 0, FlashLeft::Untouched, 0},
      {"upper sector erase refused", Device(1, 1, "EN25P05"), 49152,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x14}, 2, FaultKind::Fail);
       },
       "Erase command fail!!", 0, FlashLeft::LowerHalfErased, 0},
      {"blank-check read fails", Device(1, 1, "EN25P05"), 16384,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, 1, FaultKind::Fail);
       },
       "Read Back Erased Flash Error!!", 0, FlashLeft::LowerHalfErased, 0},
      // A refused boot-sector erase is passed over; the blank check finds the old bytes.
      {"erased area not blank", Qv40716Amic(), 16384,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x14, 0x00, 0x10, 0x00}, 1, FaultKind::Fail);
       },
       "Data not 0xff !!", 0, FlashLeft::AllButOneBootSectorErased, 0},
      // The 64 KB erase takes the configuration copy; it must come back after the failure.
      {"a block write fails", Qv40714Winbond(), 32768,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x11}, 4, FaultKind::Fail);
       },
       "Programming Fail!!", 1, FlashLeft::PartlyProgrammed, 0},
      {"final read-back fails", Qv40714Winbond(), 16384,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x10, 0x00, 0x00, 0x00}, 2, FaultKind::Fail);
       },
       "Read Fail!!\r\n", 0, FlashLeft::Programmed, 0},
      // Only the first 100 bytes of block 1 reach the bridge; the rest arrive as zeros.
      {"read-back differs", Qv40714Winbond(), 32768,
       [](SerialFlashRig& rig) {
         rig.ArmFault({0xFF, 0x04, 0x11}, 2, FaultKind::Short, 1, 100);
       },
       "Compare Fail!!\r\n\r\n", 1, FlashLeft::Wrong, 0},
  };
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.Name);
    SerialFlashRig rig(row.Device);
    const auto image = rig.WriteImage(row.ImageSize);
    row.Arrange(rig);
    std::optional<FailingWorkBuffer> failing;
    if (row.FailingAllocation != 0) {
      failing.emplace(row.FailingAllocation);
    }
    ::testing::internal::CaptureStdout();

    EXPECT_EQ(row.Result, UpdateSerialFlash(rig.window, rig.path));

    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(row.Text, rig.window.StatusText());
    CheckFlashLeft(rig, image, row.Left);
    EXPECT_TRUE(rig.dialogs.Boxes().empty()) << "failures show no box";
  }
}

}  // namespace
}  // namespace q71x::testing
