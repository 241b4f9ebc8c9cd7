// SPDX-License-Identifier: GPL-2.0-or-later
// The engineering options: the "RD Version" switch with its panel, the two mutually exclusive
// action boxes, the backup-file browser and the two size boxes.

#include "src/catalog/chip_tables.h"
#include "src/tool/tool_core.h"
#include "src/tool/window_description.h"
#include "src/update/update_texts.h"

namespace q71x {

void ToolCore::EraseOnlyCheckClick(Control sender) {
  if (sender == Control::EraseOnlyCheck) {
    if (ChipRow(state_.ChipType).EraseOnlyOffersNvram) {
      SetVisible(Control::NVRAMCheck, true);
    }
    if (Ticked(Control::EraseOnlyCheck)) {
      SetTicked(Control::BackupFWCheckBox, false);  // runs this handler for that box first
    }
  } else if (Ticked(Control::BackupFWCheckBox)) {
    SetTicked(Control::EraseOnlyCheck, false);
  }

  const bool actionTicked = Ticked(Control::EraseOnlyCheck) || Ticked(Control::BackupFWCheckBox);
  const bool showFwSize = ChipRow(state_.ChipType).ChoosesFirmwareSize && actionTicked;
  SetEnabled(Control::FwSizeCheck, showFwSize);
  SetVisible(Control::FwSizeCheck, showFwSize);
  SetVisible(Control::FwSizeLable, showFwSize);

  state_.EraseOnly = Ticked(Control::EraseOnlyCheck) ? 1 : 0;

  if (Ticked(Control::EraseOnlyCheck)) {
    SetEnabled(Control::FwFilenameEdit, false);
    SetEnabled(Control::UpdateBtn, DeviceReadyForRun());
  } else {
    SetEnabled(Control::FwFilenameEdit, true);
    // No mismatch box here: only the file check's own open-failure box can appear.
    SetEnabled(Control::UpdateBtn, DeviceReadyForRun() && FileNameMatchesChip());
  }
  if (!Enabled(Control::UpdateBtn) && Ticked(Control::BackupFWCheckBox)) {
    SetEnabled(Control::UpdateBtn, true);
  }
}

void ToolCore::RdCheckBoxClick() {
  if (Ticked(Control::RdCheckBox)) {
    SetVisible(Control::RdPanel, true);
    return;
  }
  SetVisible(Control::RdPanel, false);
  SetVisible(Control::FwSizeCheck, false);
  SetVisible(Control::FwSizeLable, false);
  SetEnabled(Control::FwFilenameEdit, true);
  SetEnabled(Control::UpdateBtn, false);
  UpdateBtnCheck();
}

void ToolCore::BackupBtnClick() {
  SetText(Control::StatusEdit, {});
  const std::optional<std::string> chosen = RunOpenDialog1(kBackupNameTooLongText, true);
  if (!chosen) {
    return;
  }
  SetText(Control::BackupFileEdit, *chosen);
  SetEnabled(Control::UpdateBtn, true);
}

void ToolCore::FwSizeCheckChange(int item) {
  Mutable(Control::FwSizeCheck).SelectedItem = item;
  // A typed text that selects no item keeps the size.
  settings_.FirmwareSize = ItemValue(Control::FwSizeCheck, item).value_or(settings_.FirmwareSize);
}

void ToolCore::FwPgSizeCheckChange(int item) {
  Mutable(Control::FwPgSizeCheck).SelectedItem = item;
  settings_.FlashPageSize =
      ItemValue(Control::FwPgSizeCheck, item).value_or(settings_.FlashPageSize);
}

void ToolCore::QV958PathChange(int item) {
  // The hidden box only re-applies the page-size box's choice.
  Mutable(Control::QV958Path).SelectedItem = item;
  FwPgSizeCheckChange(Controls(Control::FwPgSizeCheck).SelectedItem);
}

}  // namespace q71x
