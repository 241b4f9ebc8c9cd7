// SPDX-License-Identifier: GPL-2.0-or-later
// A bridge that answers every flash read short in the same way, end to end: the transport hands
// the missing bytes back as zeros, so two reads agree on them. Nothing those reads return may go
// into a backup file or be kept as the device's configuration.

#include <gtest/gtest.h>

#include <filesystem>

#include "src/update/serial/nvram_flash_update.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;

constexpr std::uint8_t kReadBlock = 0x10;

// From now on every flash read moves only its first `moved` bytes.
void AnswerEveryReadShort(SerialFlashRig& rig, std::uint32_t moved) {
  rig.ArmFault({0xFF, 0x04, kReadBlock}, 1, FaultKind::Short, 0, moved);
}

TEST(AlwaysShortBridge, BackupEndsInFailureAndNoFile) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.TickFor(EngineeringAction::BackupOnly);
  AnswerEveryReadShort(rig, 32768);

  EXPECT_EQ(0, UpdateSerialFlash(rig.window, rig.path));

  EXPECT_EQ("Read Back to Backup Error!!", rig.window.StatusText());
  EXPECT_FALSE(std::filesystem::exists(rig.window.backupFile));
  EXPECT_EQ(rig.oldFlash, rig.Flash());
}

TEST(AlwaysShortBridge, ConfigurationAreaIsNotTakenFromShortAnswers) {
  // The area's second half would come back as zeros in both reads and be written back as the
  // device's configuration after the erase.
  SerialFlashRig rig(Qvk842Eon());
  rig.WriteImage(40 * 1024);
  AnswerEveryReadShort(rig, 2048);

  EXPECT_EQ(0, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ("Backup NVRAM command fail!", rig.window.StatusText());
  EXPECT_EQ(rig.oldFlash, rig.Flash());
  EXPECT_TRUE(rig.EraseAddresses().empty());
}

}  // namespace
}  // namespace q71x::testing
