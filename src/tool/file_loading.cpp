// SPDX-License-Identifier: GPL-2.0-or-later
// The Load File button and the open-file dialog it shares with the backup-file browser.

#include "src/host/user_dialogs.h"
#include "src/image/file_checksum.h"
#include "src/image/image_texts.h"
#include "src/tool/dialog_start_folder.h"
#include "src/tool/file_name_limit.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/update/update_texts.h"

namespace q71x {

std::optional<std::string> ToolCore::RunOpenDialog1(std::string_view tooLongText, bool forBackup) {
  if (openDialog1_.InitialDir.empty()) {
    openDialog1_.InitialDir = DialogStartFolder(programFolder_);
  }
  // The backup is a file to write: a save dialog with the backup filter, which takes a new name
  // and asks before it names an existing file (an image the operator did not mean to replace).
  OpenFileRequest request{forBackup ? std::string(kBackupFileFilter) : openDialog1_.Filter,
                          openDialog1_.InitialDir, forBackup};
  std::optional<std::string> chosen = ShowOpenFileDialog(request);
  if (!chosen) {
    return std::nullopt;
  }
  if (FileNameTooLong(*chosen)) {
    SetStatus(std::string(tooLongText));
    return std::nullopt;
  }
  RememberDialogFolder(programFolder_, *chosen);
  return chosen;
}

void ToolCore::LoadBtnClick() {
  SetText(Control::StatusEdit, {});
  const std::optional<std::string> chosen = RunOpenDialog1(kFirmwareNameTooLongText, false);
  if (!chosen) {
    return;
  }
  // The field's change handler runs the chip check, which may reject the file with its box.
  SetFileNameText(*chosen);
  if (Ticked(Control::ChkSumChk) && VerifyFileChecksum(FirmwareFileName(), ChipIdentity()) == 0) {
    ShowMessageBox(std::string(kChecksumFailureText), std::string(kMessageCaption));
    SetEnabled(Control::UpdateBtn, false);
    return;
  }
  // Enabled even after the chip check's rejection: an engineering override the operator has
  // just been warned about.
  SetEnabled(Control::UpdateBtn, true);
}

}  // namespace q71x
