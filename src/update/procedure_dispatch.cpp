#include "src/update/procedure_dispatch.h"

#include "src/device/chip_mode_flag.h"

namespace q71x {

UpdateProcedure ChooseUpdateProcedure(const DispatchFacts& facts) {
  const std::uint8_t type = facts.ChipType;
  if (facts.FlashVendor == 0 && type == 14) {
    return UpdateProcedure::UpdateDiskFirmware;
  }
  switch (type) {
    case 1:
    case 3:
    case 4:
    case 12:
    case 14:
      return UpdateProcedure::UpdateSerialFlash;
    case 6:
      return UpdateProcedure::UpdateFlashWithNvram;
    case 7:
      return facts.DevicePath.find("sbp2") != std::string::npos
                 ? UpdateProcedure::UpdateDf2Flash
                 : UpdateProcedure::UpdateSerialFlash;
    case 8:
    case 9:
    case 11:
      return UpdateProcedure::UpdateDfFlash;
    case 10: {
      const int modeFlag = CheckChipModeFlag(facts.DevicePath);
      if (modeFlag == 1 || facts.ChipRevision >= 5) {
        return facts.SstSpiFlash == 1 ? UpdateProcedure::UpdateSerialFlashSpi
                                      : UpdateProcedure::UpdateDfFlash;
      }
      return UpdateProcedure::UpdateFlashWithNvram;
    }
    case 2:
    case 19:
      return UpdateProcedure::UpdateParallelFlash;
    case 13:
      return UpdateProcedure::UpdateDiskFirmware;
    case 5:
      return facts.ConfigLevel >= kDiskKeptSupportedLevel ? UpdateProcedure::UpdateDiskFirmware
                                                          : UpdateProcedure::None;
    default:
      return UpdateProcedure::None;
  }
}

}  // namespace q71x
