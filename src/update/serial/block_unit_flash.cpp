// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/serial/block_unit_flash.h"

#include <cstring>

#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/update/flash_common.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"

namespace q71x {
std::uint64_t RoundUpToBlocks(std::uint64_t length) {
  return (length + kProgramBlockBytes - 1) / kProgramBlockBytes * kProgramBlockBytes;
}

std::uint32_t SectorsCovering(std::uint64_t area) {
  return static_cast<std::uint32_t>((area + kEraseSectorBytes - 1) / kEraseSectorBytes);
}

int EraseSectorsProvenBlank(ToolWindow& window, const std::string& devicePath,
                            std::uint32_t sectorCount, std::uint8_t* scratch) {
  EnterStep(window, RunStep::Erase);
  ShowStatus(window, kErasingText);
  for (std::uint32_t sector = 0; sector < sectorCount; ++sector) {
    const std::uint32_t address = sector * kEraseSectorBytes;
    WaitFlashReady(devicePath);
    if (EraseFlashSector(devicePath, address) == 0) {
      MarkStopped(window);
      ShowStatus(window, kEraseCommandFailText);
      return 0;
    }
    ReportProgressDot(window, StatusStyle::Show);
    for (std::uint32_t half = address; half < address + kEraseSectorBytes;
         half += kProgramBlockBytes) {
      WaitFlashReady(devicePath);
      if (ReadFlashBlock(devicePath, half, scratch, kProgramBlockBytes) == 0) {
        MarkStopped(window);
        ShowStatus(window, kReadBackAfterEraseFailText);
        return 0;
      }
      if (!IsErased(scratch, kProgramBlockBytes)) {
        MarkStopped(window, FailureReason::NotBlank);
        ShowStatus(window, kDataNotBlankText);
        return 0;
      }
    }
    StepProgress(window, sector + 1, sectorCount);
  }
  return 1;
}

int WriteVerifiedBlock(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                       const std::uint8_t* data, std::uint32_t length, std::uint8_t* scratch,
                       const BlockWriter& write, const std::function<void()>& afterWrite) {
  WaitFlashReady(devicePath);
  if (write(address, data, length) == 0) {
    MarkStopped(window);
    ShowStatus(window, kWriteCommandFailText);
    return 0;
  }
  if (afterWrite) {
    afterWrite();
  }
  WaitFlashReady(devicePath);
  if (ReadFlashBlock(devicePath, address, scratch, length) == 0) {
    MarkStopped(window);
    ShowStatus(window, kWriteCommandFailText);
    return 0;
  }
  if (std::memcmp(data, scratch, length) != 0) {
    MarkStopped(window, FailureReason::Mismatch);
    ShowStatus(window, kDataCompareFailText);
    return 0;
  }
  return 1;
}

}  // namespace q71x
