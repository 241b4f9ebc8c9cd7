// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/update_procedure.h"

#include "src/update/df/df2_flash_update.h"
#include "src/update/df/df_flash_update.h"
#include "src/update/disk/disk_firmware_update.h"
#include "src/update/parallel/parallel_flash_update.h"
#include "src/update/run_steps.h"
#include "src/update/serial/dual_path_update.h"
#include "src/update/serial/nvram_flash_update.h"
#include "src/update/serial/serial_flash_update.h"

namespace q71x {

std::string_view UpdateProcedureName(UpdateProcedure procedure) {
  switch (procedure) {
    case UpdateProcedure::None:
      break;
    case UpdateProcedure::UpdateSerialFlash:
      return "UpdateSerialFlash";
    case UpdateProcedure::UpdateFlashWithNvram:
      return "UpdateFlashWithNvram";
    case UpdateProcedure::UpdateParallelFlash:
      return "UpdateParallelFlash";
    case UpdateProcedure::UpdateSerialFlashSpi:
      return "UpdateSerialFlashSpi";
    case UpdateProcedure::UpdateDf2Flash:
      return "UpdateDf2Flash";
    case UpdateProcedure::UpdateDiskFirmware:
      return "UpdateDiskFirmware";
    case UpdateProcedure::UpdateDfFlash:
      return "UpdateDfFlash";
  }
  return "";
}

namespace {

int StartProcedure(UpdateProcedure procedure, ToolWindow& window, const std::string& devicePath,
                   int parallelFlashPart) {
  switch (procedure) {
    case UpdateProcedure::UpdateSerialFlash:
      return UpdateSerialFlash(window, devicePath);
    case UpdateProcedure::UpdateFlashWithNvram:
      return UpdateFlashWithNvram(window, devicePath);
    case UpdateProcedure::UpdateSerialFlashSpi:
      return UpdateSerialFlashSpi(window, devicePath);
    case UpdateProcedure::UpdateParallelFlash:
      return UpdateParallelFlash(window, devicePath, parallelFlashPart);
    case UpdateProcedure::UpdateDf2Flash:
      return UpdateDf2Flash(window, devicePath);
    case UpdateProcedure::UpdateDiskFirmware:
      return UpdateDiskFirmware(window, devicePath);
    case UpdateProcedure::UpdateDfFlash:
      return UpdateDfFlash(window, devicePath);
    case UpdateProcedure::None:
      break;
  }
  return -1;
}

}  // namespace

int RunUpdateProcedure(UpdateProcedure procedure, ToolWindow& window, const std::string& devicePath,
                       int parallelFlashPart) {
  StartRun(window);
  const int result = StartProcedure(procedure, window, devicePath, parallelFlashPart);
  FinishRun(window, result);
  return result;
}

std::string_view EngineeringActionName(EngineeringAction action) {
  switch (action) {
    case EngineeringAction::Update:
      return "update";
    case EngineeringAction::EraseOnly:
      return "erase-only";
    case EngineeringAction::BackupOnly:
      return "backup-only";
  }
  return "";
}

}  // namespace q71x
