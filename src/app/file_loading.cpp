// The Load File button and the open-file dialog it shares with the backup-file browser.

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>

#include "src/app/file_name_limit.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/app/window_texts.h"
#include "src/device/platform/user_dialogs.h"
#include "src/image/file_checksum.h"
#include "src/image/image_texts.h"

namespace q71x {

std::optional<QString> TQ71xFwTool::RunOpenDialog1() {
  if (OpenDialog1.InitialDir.empty()) {
    OpenDialog1.InitialDir =
        QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
  }
  const std::optional<std::string> chosen =
      ShowOpenFileDialog({OpenDialog1.Filter, OpenDialog1.InitialDir});
  if (!chosen) {
    return std::nullopt;
  }
  const QString name = QFile::decodeName(QByteArray::fromStdString(*chosen));
  if (FileNameTooLong(name)) {
    SetStatus(std::string(kFileNameTooLongText));
    return std::nullopt;
  }
  return name;
}

void TQ71xFwTool::LoadBtnClick(QObject*) {
  StatusEdit->clear();
  const std::optional<QString> chosen = RunOpenDialog1();
  if (!chosen) {
    return;
  }
  // The field's change handler runs the chip check, which may reject the file with its box.
  SetFileNameText(*chosen);
  if (ChkSumChk->isChecked() && VerifyFileChecksum(FirmwareFileName(), ChipIdentity()) == 0) {
    ShowMessageBox(std::string(kChecksumFailureText), std::string(kMessageCaption));
    UpdateBtn->setEnabled(false);
    return;
  }
  // Enabled even after the chip check's rejection: an engineering override the operator has
  // just been warned about.
  UpdateBtn->setEnabled(true);
}

}  // namespace q71x
