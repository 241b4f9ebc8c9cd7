// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/flash_write_access.h"

#include "src/catalog/flash_vendor_table.h"
#include "src/device/flash_commands.h"
#include "src/device/flash_unprotect.h"
#include "src/device/flash_waits.h"
#include "src/update/update_texts.h"

namespace q71x {

int OpenFlashForWrite(ToolWindow& window, const std::string& devicePath, StatusStyle style) {
  const ChipState& state = window.State();
  if (state.AtmelFlashPart != -1) {
    FlashWriteEnable(devicePath);
    if (WaitFlashStatusSet(devicePath, kFlashStatusWriteEnabled) == 0) {
      ReportStatus(window, style, kAtmelWriteEnableFailText);
      return 0;
    }
  }
  if (VendorRow(state.FlashVendor).UnprotectFirst) {
    UnprotectSerialFlash(devicePath);
  }
  return 1;
}

}  // namespace q71x
