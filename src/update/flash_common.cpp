// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/flash_common.h"

#include <algorithm>

#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"
#include "src/update/flash_backup.h"
#include "src/update/proven_ranges.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

constexpr std::uint32_t kSettleAfterEraseMs = 500;

// The erase command returned before the flash finished; the ready wait only confirms it.
void SettleAfterErase(ToolWindow& window, const std::string& devicePath) {
  ActivePlatform().SleepMs(kSettleAfterEraseMs);
  if (WaitFlashReady(devicePath) == 0) {
    window.PostStatus(std::string(kNotReadyAfterEraseCmdText));
  }
}

// One unit of the sector-by-sector erase, with its dot; 0 when the bridge refused it.
int EraseOneSector(ToolWindow& window, const std::string& devicePath, std::uint32_t address) {
  WaitFlashReady(devicePath);
  if (EraseFlashSector(devicePath, address) == 0) {
    return 0;
  }
  if (WaitFlashReady(devicePath) == 0) {
    WriteDebugLine(kNotReadyAfterEraseText);
  }
  window.AppendStatus(".");
  return 1;
}

// Steps of FlashPageSize from address 0 land on 0x0000, 0x2000, 0x4000, ... and never inside the
// boot sector at 0x1000, so the boot sectors are addressed one by one as well.
int EraseAmicBootSectors(ToolWindow& window, const std::string& devicePath) {
  for (std::uint32_t address : kAmicBootSectorAddresses) {
    if (EraseOneSector(window, devicePath, address) == 0) {
      return 0;
    }
  }
  return 1;
}

}  // namespace

bool IsAmicBootSectorPart(int amicFlashPart) {
  return amicFlashPart == 1 || amicFlashPart == 3 || amicFlashPart == 5;
}

bool IsErased(const std::uint8_t* data, std::size_t length) {
  return std::all_of(data, data + length, [](std::uint8_t byte) { return byte == 0xFF; });
}

int EraseFlashBySectors(ToolWindow& window, const std::string& devicePath, std::uint32_t length) {
  if (WaitFlashReady(devicePath) == 0) {
    WriteDebugLine(kDeviceInitialNotReadyText);
  }
  const std::uint32_t step = window.Settings().FlashPageSize;
  if (step == 0) {
    return 0;
  }
  const std::uint32_t sectors = length / step + (length % step != 0 ? 1 : 0);
  window.PostStatus(std::string(kEraseProgressText));

  int result = 0;
  std::uint32_t address = 0;
  for (std::uint32_t sector = 0; sector < sectors; ++sector) {
    if (EraseOneSector(window, devicePath, address) == 0) {
      return 0;
    }
    StepProgress(window, sector + 1, sectors);
    address += step;
    result = 1;
  }
  return result;
}

int EraseAllFlash(ToolWindow& window, const std::string& devicePath) {
  // A kept configuration area goes back after the erase where the caller keeps one.
  DeclarePhases(window, {{RunStep::Erase, 70}, {RunStep::BlankCheck, 20}, {RunStep::Restore, 10}});
  EnterStep(window, RunStep::Erase);
  window.PostStatus(std::string(kStartEraseOnlyText));
  const std::uint32_t length = window.Settings().FirmwareSize;
  WaitFlashReady(devicePath);

  const bool chipErased = window.State().AtmelFlashPart != -1 && EraseFlashChip(devicePath) != 0;
  if (!chipErased && (EraseFlashBySectors(window, devicePath, length) == 0 ||
                      (IsAmicBootSectorPart(window.State().AmicFlashPart) &&
                       EraseAmicBootSectors(window, devicePath) == 0))) {
    MarkStopped(window);
    window.PostStatus(std::string(kEraseCommandFailText));
    return 0;
  }
  SettleAfterErase(window, devicePath);
  EnterStep(window, RunStep::BlankCheck);

  AlignedBuffer readBack = AllocateWorkBuffer(length);
  if (!readBack.ok()) {
    MarkStopped(window);
    window.PostStatus(std::string(kAllocateReadBufferErrorText));
    return 0;
  }
  // A read-back the bridge refuses proves nothing: only flash that reads blank is called erased.
  if (ReadFlashBlock(devicePath, 0, readBack.data(), length) == 0 ||
      !IsErased(readBack.data(), length)) {
    MarkStopped(window);
    window.PostStatus(std::string(kDataNotBlankText));
    return 0;
  }
  ClaimSuccess(window);
  window.PostStatus(std::string(kEraseAllSuccessText));
  return 1;
}

int BackupFlashToFile(ToolWindow& window, const std::string& devicePath, std::uint32_t skip) {
  return BackupFlashThrough(window, kDefaultBackupName, skip, FlashBlockRange(devicePath, 0));
}

}  // namespace q71x
