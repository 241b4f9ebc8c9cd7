// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/procedure_dispatch.h"

#include "src/catalog/chip_type_table.h"
#include "src/device/chip_mode_flag.h"
#include "src/device/discovery.h"

namespace q71x {
namespace {

// From this revision on, a chip decided by its mode flag takes the DF path whatever the flag.
constexpr int kModeFlagFreeRevision = 5;

UpdateProcedure ByModeFlag(const DispatchFacts& facts) {
  const int modeFlag = CheckChipModeFlag(facts.DevicePath);
  if (modeFlag == 1 || facts.ChipRevision >= kModeFlagFreeRevision) {
    return facts.SstSpiFlash == 1 ? UpdateProcedure::UpdateSerialFlashSpi
                                  : UpdateProcedure::UpdateDfFlash;
  }
  return UpdateProcedure::UpdateFlashWithNvram;
}

}  // namespace

DispatchFacts DispatchFactsOf(const ChipState& state, const std::string& devicePath) {
  DispatchFacts facts;
  facts.ChipType = state.ChipType;
  facts.ChipRevision = state.ChipRevision;
  facts.FlashVendor = state.FlashVendor;
  facts.SstSpiFlash = state.SstSpiFlash;
  facts.ConfigLevel = state.ConfigLevel;
  facts.DevicePath = devicePath;
  return facts;
}

UpdateProcedure ChooseUpdateProcedure(const DispatchFacts& facts) {
  switch (ChipRow(facts.ChipType).Procedure) {
    case ProcedureRule::None:
      break;
    case ProcedureRule::SerialFlash:
      return UpdateProcedure::UpdateSerialFlash;
    case ProcedureRule::SerialFlashOrDiskFirmware:
      // No flash vendor found: the firmware is kept on the disk.
      return facts.FlashVendor == FlashVendor::Unknown ? UpdateProcedure::UpdateDiskFirmware
                                                       : UpdateProcedure::UpdateSerialFlash;
    case ProcedureRule::FlashWithNvram:
      return UpdateProcedure::UpdateFlashWithNvram;
    case ProcedureRule::Df2FlashOn1394OrSerialFlash:
      return IsPathOn1394(facts.DevicePath) ? UpdateProcedure::UpdateDf2Flash
                                            : UpdateProcedure::UpdateSerialFlash;
    case ProcedureRule::DfFlash:
      return UpdateProcedure::UpdateDfFlash;
    case ProcedureRule::ByModeFlag:
      return ByModeFlag(facts);
    case ProcedureRule::ParallelFlash:
      return UpdateProcedure::UpdateParallelFlash;
    case ProcedureRule::DiskFirmware:
      return UpdateProcedure::UpdateDiskFirmware;
    case ProcedureRule::DiskFirmwareFromLevel:
      return facts.ConfigLevel >= kDiskKeptSupportedLevel ? UpdateProcedure::UpdateDiskFirmware
                                                          : UpdateProcedure::None;
  }
  return UpdateProcedure::None;
}

}  // namespace q71x
