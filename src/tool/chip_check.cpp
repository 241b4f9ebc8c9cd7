// SPDX-License-Identifier: GPL-2.0-or-later
// The chip check: identifies the selected device, decides whether Run may be pressed with the
// named file, finds the flash behind the bridge (telling the bridge which flash commands to use
// where the chip needs it) and fills the display fields. Nothing is cached: every run asks the
// device again.

#include "src/catalog/chip_tables.h"
#include "src/catalog/chip_type_table.h"
#include "src/host/user_dialogs.h"
#include "src/image/firmware_match.h"
#include "src/tool/busy_scope.h"
#include "src/tool/chip_probe.h"
#include "src/tool/file_name_limit.h"
#include "src/tool/journal_device.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/update/procedure_dispatch.h"
#include "src/update/update_texts.h"

namespace q71x {

bool ToolCore::FileNameMatchesChip() {
  const std::string& name = Controls(Control::FwFilenameEdit).Text;
  if (name.empty() || FileNameTooLong(name)) {
    return false;
  }
  return FirmwareMatchesChip(name, ChipIdentity()) == 1;
}

bool ToolCore::LevelMissing() const {
  return ChipRow(state_.ChipType).Procedure == ProcedureRule::DiskFirmwareFromLevel &&
         !configLevelKnown_;
}

bool ToolCore::DeviceReadyForRun() const {
  return SelectedDeviceIndex() >= 0 && state_.ChipType != ChipType::Unknown && !LevelMissing();
}

void ToolCore::UpdateBtnCheck() {
  SetVisible(Control::NVRAMCheck, false);
  const int selected = SelectedDeviceIndex();
  if (selected < 0 || !ReachDevice(selected)) {
    return;
  }
  // The boxes below let events through; they wait until the check is done, so that the check
  // finishes on the device it started with and never mixes two devices' facts.
  BusyScope busy(*this, BusyScope::Kind::ChipCheck);
  const DeviceEntry device = devices_[static_cast<std::size_t>(selected)];

  IdentifyInto(device.DevicePath, state_, settings_);

  bool fileNameRefused = false;
  if (Enabled(Control::DeviceList)) {
    const std::string& name = Controls(Control::FwFilenameEdit).Text;
    if (!name.empty()) {
      if (FileNameTooLong(name)) {
        fileNameRefused = true;
        SetEnabled(Control::UpdateBtn, false);
      } else if (FileNameMatchesChip()) {
        SetEnabled(Control::UpdateBtn, true);
      } else {
        ShowMessageBox(std::string(kFileMismatchText), std::string(kMessageCaption));
        SetEnabled(Control::UpdateBtn, false);
      }
    } else if (Ticked(Control::EraseOnlyCheck) || Ticked(Control::BackupFWCheckBox)) {
      SetEnabled(Control::UpdateBtn, true);
    }
  }

  SetText(Control::StatusEdit, {});
  SetText(Control::SFlashTypeLable, {});
  SetText(Control::FwVerLableEdit, {});
  SetText(Control::ChipLabelEdit, std::string(ChipTypeName(state_.ChipType)));

  const ChipProbe probe = ProbeChipMemory(device.DevicePath, state_, settings_);
  configLevelKnown_ = probe.LevelRead;
  switch (ChipGroupOf(state_.ChipType)) {
    case ChipGroup::SerialFlash:
      ShowSerialFlashLayout();
      if (ChipRow(state_.ChipType).NvramBlock) {
        SetVisible(Control::NVRAMCheck, true);
        SetTicked(Control::NVRAMCheck, true);
      }
      SetText(Control::SFlashTypeLable, probe.FlashText);
      break;
    case ChipGroup::DiskKept:
      if (!probe.LevelRead) {
        // Without the level nothing says whether this chip's firmware may be written: no Run
        // where the level decides it.
        if (LevelMissing()) {
          SetEnabled(Control::UpdateBtn, false);
        }
      } else if (state_.ConfigLevel < kDiskKeptSupportedLevel) {
        ShowUnsupportedLayout();
      } else {
        ShowDiskKeptLayout();
      }
      break;
    case ChipGroup::ParallelFlash:
      ShowParallelFlashLayout();
      break;
    case ChipGroup::NotSupported:
      ShowUnsupportedLayout();
      break;
  }

  if (!probe.VersionRead) {
    SetText(Control::FwVerLableEdit, probe.VersionText);
  } else if (!probe.OurSignature) {
    SetStatus(std::string(kNotQuvarisChipText));
  } else {
    SetText(Control::FwVerLableEdit, probe.VersionText);
  }
  SetText(Control::DiskLetterLable, device.DriveLetters);
  if (fileNameRefused) {
    SetStatus(std::string(kFirmwareNameTooLongText));
  }
  checkedDevice_ =
      JournalDeviceOf(state_, Controls(Control::FwVerLableEdit).Text, device.DevicePath);
  OfferJournalRecovery();
}

void ToolCore::ShowSerialFlashLayout() {
  SetVisible(Control::SFlashTypeLable, true);
  SetVisible(Control::FlashTypeList, false);
  SetVisible(Control::FlashTypeLabel, false);
  SetVisible(Control::A1ChipCheck, false);
  SetVisible(Control::FwVerLableEdit, true);
}

void ToolCore::ShowDiskKeptLayout() {
  SetVisible(Control::SFlashTypeLable, false);
  SetVisible(Control::FlashTypeList, false);
  SetVisible(Control::FlashTypeLabel, false);
  SetVisible(Control::A1ChipCheck, false);
  SetVisible(Control::FwVerLableEdit, true);
}

void ToolCore::ShowParallelFlashLayout() {
  SetVisible(Control::SFlashTypeLable, false);
  SetVisible(Control::FlashTypeList, true);
  SetEnabled(Control::FlashTypeList, true);
  SetVisible(Control::FlashTypeLabel, true);
  SetVisible(Control::A1ChipCheck, true);
  SetEnabled(Control::A1ChipCheck, true);
  SetVisible(Control::FwVerLableEdit, true);
}

void ToolCore::ShowUnsupportedLayout() {
  SetVisible(Control::SFlashTypeLable, false);
  SetVisible(Control::FlashTypeList, false);
  SetVisible(Control::FlashTypeLabel, false);
  SetVisible(Control::A1ChipCheck, false);
  SetVisible(Control::FwVerLableEdit, false);
  SetStatus(std::string(kChipNotSupportedText));
}

}  // namespace q71x
