// The Run button: one update procedure for the selected device, chosen from the identified chip
// and what the chip check learnt about its flash.

#include "src/app/run_dispatch.h"

#include <QPushButton>

#include "src/app/file_name_limit.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/app/window_texts.h"
#include "src/device/chip_mode_flag.h"
#include "src/device/platform/platform.h"

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

// Run is disabled for exactly the life of a procedure; what arrives meanwhile (device changes,
// the hot-plug timer, dropped files, a close request) is handled once Run is back.
class ProcedureScope {
 public:
  explicit ProcedureScope(TQ71xFwTool& window) : window_(window) {
    window_.UpdateBtn->setEnabled(false);
    window_.procedureRunning_ = true;
  }
  ~ProcedureScope() {
    window_.procedureRunning_ = false;
    window_.UpdateBtn->setEnabled(true);
    emit window_.ProcedureFinished();
    window_.ReplayDeferredEvents();
  }
  ProcedureScope(const ProcedureScope&) = delete;
  ProcedureScope& operator=(const ProcedureScope&) = delete;

 private:
  TQ71xFwTool& window_;
};

void TQ71xFwTool::UpdateBtnClick(QObject*) {
  if (procedureRunning_) {
    return;
  }
  // With no device, or a typed text in the list, there is no path to send anything to (the
  // entry behind an old index may belong to a removed enclosure).
  const int selected = SelectedDeviceIndex();
  if (selected < 0) {
    return;
  }
  if (FileNameTooLong(FwFilenameEdit->text()) || FileNameTooLong(BackupFileEdit->text())) {
    SetStatus(std::string(kFileNameTooLongText));
    return;
  }
  ProcedureScope scope(*this);
  ActivePlatform().DebugOutput(std::string(kUpdateBtnPressDebugText));
  DispatchFacts facts;
  facts.ChipType = state_.ChipType;
  facts.ChipRevision = state_.ChipRevision;
  facts.FlashVendor = state_.FlashVendor;
  facts.SstSpiFlash = state_.SstSpiFlash;
  facts.ConfigLevel = state_.ConfigLevel;
  facts.DevicePath = Devices[static_cast<std::size_t>(selected)].DevicePath;
  StatusEdit->clear();
  // The result is not looked at: the procedures report to the operator themselves.
  RunUpdateProcedure(ChooseUpdateProcedure(facts), *this, facts.DevicePath,
                     ParallelFlashPartIndex());
}

}  // namespace q71x
