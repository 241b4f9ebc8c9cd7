// SPDX-License-Identifier: GPL-2.0-or-later
// Updates and backups of areas larger than the system carries in one request, over enclosures
// whose system refuses such requests as Linux does for a user who is not root: judged by what the
// flash holds afterwards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/parallel_nor_part.h"
#include "src/update/flash_common.h"
#include "src/update/parallel/parallel_flash_update.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

constexpr std::uint32_t kImageBytes = 256 * 1024;
constexpr std::uint32_t kLimit = 120 * 1024;
const std::string kTooLarge = "Transfer too large for this system, nothing erased!";

// Old firmware and image bytes that are never blank and differ between seeds.
std::vector<std::uint8_t> Pattern(std::size_t length, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 251) % 253 + 1);
  }
  return bytes;
}

SerialDevice TwoMegabitWinbond() {
  return Device(1, 1, "W25X16");
}

// Every request the system let through to the bridge stayed within its limit; none was refused.
void ExpectEveryRequestCarried(SerialFlashRig& rig) {
  for (const sim::LoggedCommand& c : rig.system.Log().Entries()) {
    EXPECT_TRUE(c.Ok) << "a request failed: " << c.WireLength << " bytes";
    EXPECT_LE(c.WireLength, kLimit);
  }
}

std::vector<std::uint32_t> ReadAddresses(SerialFlashRig& rig) {
  std::vector<std::uint32_t> addresses;
  for (const sim::LoggedCommand* c : rig.Ff04Commands(0x10)) {
    addresses.push_back(SerialFlashRig::AddressOf(*c));
  }
  return addresses;
}

TEST(TransferLimit, SerialUpdateAndBackupAboveTheLimitGoInPiecesAndVerify) {
  SerialFlashRig rig(TwoMegabitWinbond());
  ASSERT_EQ(kLimit, rig.system.FindPlugged(rig.path)->MaxTransferBytes);
  const auto image = rig.WriteImage(kImageBytes);
  ::testing::internal::CaptureStdout();

  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));

  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(image, rig.FlashRange(0, kImageBytes));
  ExpectEveryRequestCarried(rig);
  // The blank check and the verify each cover the area in three pieces.
  const std::vector<std::uint32_t> pieces = {0, kLimit, 2 * kLimit};
  std::vector<std::uint32_t> twice = pieces;
  twice.insert(twice.end(), pieces.begin(), pieces.end());
  EXPECT_EQ(twice, ReadAddresses(rig));

  rig.system.Log().Clear();
  rig.window.Settings().FirmwareSize = kImageBytes;
  EXPECT_EQ(1, BackupFlashToFile(rig.window, rig.path, 0));
  EXPECT_EQ("Read flash and backup success!", rig.window.StatusText());
  EXPECT_EQ(image, ReadFileBytes(rig.window.backupFile));
  ExpectEveryRequestCarried(rig);
}

// A system that refuses large requests without saying where its limit lies: the whole-area read
// is tried before the erase, so the refusal costs nothing; where the system does carry it, the
// same run goes through.
TEST(TransferLimit, SerialUpdateOnASystemThatDoesNotTellItsLimitProvesTheReadBeforeErasing) {
  SerialFlashRig rig(TwoMegabitWinbond());
  rig.platform.SetReportsTransferLimit(false);
  const auto image = rig.WriteImage(kImageBytes);
  ::testing::internal::CaptureStdout();

  EXPECT_EQ(0, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ("Whole-area read failed before the erase, nothing erased!", rig.window.StatusText());
  EXPECT_EQ(rig.oldFlash, rig.Flash());
  EXPECT_TRUE(rig.Ff04Commands(0x13).empty()) << "no erase was sent";
  EXPECT_TRUE(rig.dialogs.Boxes().empty());

  rig.system.FindPlugged(rig.path)->MaxTransferBytes = 0;
  EXPECT_EQ(1, UpdateSerialFlash(rig.window, rig.path));
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  EXPECT_EQ(image, rig.FlashRange(0, kImageBytes));
}

// The parallel part is programmed by one command that names no address. Where the system carries
// less than the part, the update stops with the old firmware in place; the backup, whose reads
// name their address, still reads the whole part in pieces.
TEST(TransferLimit, ParallelUpdateThatCannotBeCutStopsBeforeTheEraseAndItsBackupIsCut) {
  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  RecordingWindow window;
  RecordingDialogs dialogs;
  TempDir files;
  const std::vector<std::uint8_t> old = Pattern(kParallelFlashSize, 3);
  sim::Enclosure enclosure;
  enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk, "parallel");
  enclosure.MaxTransferBytes = 32 * 1024;
  enclosure.Bridge.Parallel.emplace(sim::kParallelNorParts[0]);
  enclosure.Bridge.Parallel->Flash.Preload(0, old);
  sim::Enclosure& added = system.AddEnclosure(std::move(enclosure));
  const auto contents = [&added] {
    const auto& flash = added.Bridge.Parallel->Flash.Contents();
    return std::vector<std::uint8_t>(flash.begin(), flash.end());
  };
  window.firmwareFile = files.File("image.bin");
  WriteFileBytes(window.firmwareFile, Pattern(kParallelFlashSize, 8));

  EXPECT_EQ(0, UpdateParallelFlash(window, added.Path, 0));
  EXPECT_EQ(kTooLarge, window.StatusText());
  EXPECT_EQ(old, contents());
  EXPECT_EQ(0u, system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x04})));

  window.backupFile = files.File("backup.bin");
  EXPECT_EQ(1, BackupParallelFlash(window, added.Path));
  EXPECT_EQ(old, ReadFileBytes(window.backupFile));
  EXPECT_EQ(5u, system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x03})))
      << "two pieces, then 16 bytes and the rest in two pieces";
}

}  // namespace
}  // namespace q71x::testing
