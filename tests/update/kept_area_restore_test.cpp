// SPDX-License-Identifier: GPL-2.0-or-later
// The configuration area the serial-flash procedures keep, across runs a fault stops after the
// erase: end to end over simulated flash, the area must equal the device's original after the
// faulted run and after the operator's fault-free rerun. Also the restore on its own: what it
// sends for an intact, an erased and a spoiled area.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "src/device/flash_commands.h"
#include "src/update/journal/kept_area_restore.h"
#include "src/update/serial/nvram_flash_update.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;

constexpr std::uint8_t kRead = 0x10;
constexpr std::uint8_t kWrite = 0x11;
constexpr std::uint8_t kSectorErase = 0x14;

struct FaultedRun {
  const char* Name;
  SerialDevice Device;
  std::size_t ImageSize;
  bool EraseOnly;
  std::initializer_list<std::uint8_t> Prefix;  // the command the fault hits
  int Nth;
  FaultKind Kind;
  const char* FaultedText;  // what the faulted run reports once the restore has done its part
  const char* RerunText;
};

using Procedure = std::function<int(ToolWindow&, const std::string&)>;

void CheckAreaSurvives(const FaultedRun& run, const Procedure& procedure) {
  SCOPED_TRACE(run.Name);
  SerialFlashRig rig(run.Device);
  rig.WriteImage(run.ImageSize);
  if (run.EraseOnly) {
    rig.window.TickFor(EngineeringAction::EraseOnly);
  }
  rig.ArmFault(run.Prefix, run.Nth, run.Kind, 1, 100);
  ::testing::internal::CaptureStdout();

  procedure(rig.window, rig.path);

  EXPECT_EQ(run.FaultedText, rig.window.StatusText());
  EXPECT_EQ(rig.config, rig.FlashRange(run.Device.ConfigOffset, run.Device.ConfigBytes))
      << "after the faulted run";

  rig.system.Faults().Clear();
  procedure(rig.window, rig.path);
  ::testing::internal::GetCapturedStdout();

  EXPECT_EQ(run.RerunText, rig.window.StatusText());
  EXPECT_EQ(rig.config, rig.FlashRange(run.Device.ConfigOffset, run.Device.ConfigBytes))
      << "after the rerun";
}

// MX25V512's unit at 0 reaches 0x8000, so the copy is erased and has to be written back; a
// write-back that did not take is tried again, over an erase of its unit where bits were lost.
TEST(KeptConfigurationArea, SerialUpdateWriteBackThatFailsIsRepeated) {
  const char* compareFail = "Compare Fail!!\r\n\r\n";
  for (const FaultedRun& run : {
           FaultedRun{"write-back refused",
                      Qv40713Mxic32(),
                      32768,
                      false,
                      {0xFF, 0x04, kWrite, 0x00, 0x80},
                      1,
                      FaultKind::Fail,
                      "Programming Success!!",
                      "Programming Success!!"},
           FaultedRun{"write-back times out",
                      Qv40713Mxic32(),
                      32768,
                      false,
                      {0xFF, 0x04, kWrite, 0x00, 0x80},
                      1,
                      FaultKind::Timeout,
                      "Programming Success!!",
                      "Programming Success!!"},
           FaultedRun{"write-back arrives short",
                      Qv40713Mxic32(),
                      32768,
                      false,
                      {0xFF, 0x04, kWrite, 0x00, 0x80},
                      1,
                      FaultKind::Short,
                      compareFail,
                      "Programming Success!!"},
           FaultedRun{"write-back arrives garbled",
                      Qv40713Mxic32(),
                      32768,
                      false,
                      {0xFF, 0x04, kWrite, 0x00, 0x80},
                      1,
                      FaultKind::Garbage,
                      compareFail,
                      "Programming Success!!"},
           FaultedRun{"erase of the lower half times out",
                      Qv40714Winbond(),
                      16384,
                      false,
                      {0xFF, 0x04, kSectorErase, 0x00, 0x00},
                      1,
                      FaultKind::Timeout,
                      "Erase command fail!!",
                      "Programming Success!!"},
       }) {
    CheckAreaSurvives(run, UpdateSerialFlash);
  }
}

// EN25P05 with the 4 KB area at 0: block 0 carries it back, and the erase-only action writes it
// back on its own.
TEST(KeptConfigurationArea, NvramUpdateAndEraseOnlyPutTheAreaBack) {
  for (const FaultedRun& run : {
           FaultedRun{"block 0 refused",
                      Qvk842Eon(),
                      40960,
                      false,
                      {0xFF, 0x04, kWrite},
                      1,
                      FaultKind::Fail,
                      "Write command fail!",
                      "Programming Success!!"},
           FaultedRun{"block 0 times out",
                      Qvk842Eon(),
                      40960,
                      false,
                      {0xFF, 0x04, kWrite},
                      1,
                      FaultKind::Timeout,
                      "Write command fail!",
                      "Programming Success!!"},
           FaultedRun{"block 0 arrives garbled",
                      Qvk842Eon(),
                      40960,
                      false,
                      {0xFF, 0x04, kWrite},
                      1,
                      FaultKind::Garbage,
                      "Data compare fail !!",
                      "Programming Success!!"},
           FaultedRun{"block 0 reads back garbled",
                      Qvk842Eon(),
                      40960,
                      false,
                      {0xFF, 0x04, kRead, 0x00, 0x00, 0x00},
                      4,
                      FaultKind::Garbage,
                      "Data compare fail !!",
                      "Programming Success!!"},
           FaultedRun{"erase-only write-back refused",
                      Qvk842Eon(),
                      40960,
                      true,
                      {0xFF, 0x04, kWrite},
                      1,
                      FaultKind::Fail,
                      "Erase flash all success!",
                      "Erase flash all success!"},
           FaultedRun{"erase-only write-back arrives garbled",
                      Qvk842Eon(),
                      40960,
                      true,
                      {0xFF, 0x04, kWrite},
                      1,
                      FaultKind::Garbage,
                      "Erase flash all success!",
                      "Erase flash all success!"},
       }) {
    CheckAreaSurvives(run, UpdateFlashWithNvram);
  }
}

// --- The restore on its own -------------------------------------------------------------------

constexpr std::uint32_t kAreaAt = 0x8000;
constexpr std::uint32_t kAreaBytes = 512;

int Restore(SerialFlashRig& rig) {
  rig.system.Log().Clear();
  return RestoreKeptArea(rig.path, KeptArea{kAreaAt, kAreaAt, rig.config.data(), kAreaBytes});
}

TEST(RestoreKeptArea, IntactAreaIsOnlyRead) {
  SerialFlashRig rig(Qv40714Winbond());

  EXPECT_EQ(1, Restore(rig));

  EXPECT_TRUE(rig.Ff04Commands(kWrite).empty());
  EXPECT_TRUE(rig.Ff04Commands(kSectorErase).empty());
  EXPECT_EQ(2u, rig.Ff04Commands(kRead).size()) << "two agreeing reads";
}

TEST(RestoreKeptArea, ErasedAreaIsProgrammedWithoutAnErase) {
  SerialFlashRig rig(Qv40714Winbond());
  ASSERT_EQ(1, EraseFlashSector(rig.path, 0));

  EXPECT_EQ(1, Restore(rig));

  EXPECT_EQ(rig.config, rig.FlashRange(kAreaAt, kAreaBytes));
  EXPECT_EQ(1u, rig.Ff04Commands(kWrite).size());
  EXPECT_TRUE(rig.Ff04Commands(kSectorErase).empty());
}

TEST(RestoreKeptArea, SpoiledAreaIsErasedFirst) {
  SerialFlashRig rig(Qv40714Winbond());
  const std::vector<std::uint8_t> zeros(kAreaBytes, 0x00);
  ASSERT_EQ(1, WriteFlashBlock(rig.path, kAreaAt, zeros.data(), kAreaBytes));

  EXPECT_EQ(1, Restore(rig));

  EXPECT_EQ(rig.config, rig.FlashRange(kAreaAt, kAreaBytes));
  EXPECT_EQ(std::vector<std::uint32_t>{kAreaAt}, rig.EraseAddresses());
}

// Reads that do not agree prove nothing, so they must not have the unit erased; the plain
// program that follows leaves an intact area as it was.
TEST(RestoreKeptArea, UnprovenReadDoesNotEraseAnIntactArea) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.ArmFault({0xFF, 0x04, kRead}, 1, FaultKind::Garbage, 1, 7);

  EXPECT_EQ(1, Restore(rig));

  EXPECT_EQ(rig.config, rig.FlashRange(kAreaAt, kAreaBytes));
  EXPECT_TRUE(rig.Ff04Commands(kSectorErase).empty());
  EXPECT_EQ(rig.oldFlash, rig.Flash());
}

TEST(RestoreKeptArea, WritesThatNeverTakeReportFailure) {
  SerialFlashRig rig(Qv40714Winbond());
  ASSERT_EQ(1, EraseFlashSector(rig.path, 0));
  rig.ArmFault({0xFF, 0x04, kWrite}, 1, FaultKind::Fail, 2);

  EXPECT_EQ(0, Restore(rig));

  EXPECT_EQ(2u, rig.Ff04Commands(kWrite).size()) << "one write and one more try";
}

}  // namespace
}  // namespace q71x::testing
