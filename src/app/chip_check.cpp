// The chip check: identifies the selected device, decides whether Run may be pressed with the
// named file, finds the flash behind the bridge (telling the bridge which flash commands to use
// where the chip needs it) and fills the display fields. Nothing is cached: every run asks the
// device again.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "src/app/file_name_limit.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/app/run_dispatch.h"
#include "src/app/window_texts.h"
#include "src/device/chip_tables.h"
#include "src/device/identification.h"
#include "src/device/platform/user_dialogs.h"
#include "src/image/firmware_match.h"
#include "src/update/firmware_version_text.h"
#include "src/update/flash_determination.h"
#include "src/update/toggle_bit_probe.h"

namespace q71x {
namespace {

constexpr std::uint32_t kConfigBlockLength = 18;

}  // namespace

bool TQ71xFwTool::FileNameMatchesChip() {
  const QString name = FwFilenameEdit->text();
  if (name.isEmpty() || FileNameTooLong(name)) {
    return false;
  }
  return FirmwareMatchesChip(FirmwareFileName(), ChipIdentity()) == 1;
}

void TQ71xFwTool::UpdateBtnCheck(QObject*) {
  NVRAMCheck->hide();
  const int selected = SelectedDeviceIndex();
  if (selected < 0) {
    return;
  }
  // The device path is taken once: a message box below lets events through, and the check must
  // finish on the device it started with.
  const std::string path = Devices[static_cast<std::size_t>(selected)].DevicePath;

  const std::uint16_t identity = IdentifyChip(path);
  state_.ChipType = IdentityType(identity);
  state_.ChipRevision = IdentityRevision(identity);

  bool fileNameRefused = false;
  if (DeviceList->isEnabled()) {
    const QString name = FwFilenameEdit->text();
    if (!name.isEmpty()) {
      if (FileNameTooLong(name)) {
        fileNameRefused = true;
        UpdateBtn->setEnabled(false);
      } else if (FileNameMatchesChip()) {
        UpdateBtn->setEnabled(true);
      } else {
        ShowMessageBox(std::string(kFileMismatchText), std::string(kMessageCaption));
        UpdateBtn->setEnabled(false);
      }
    } else if (EraseOnlyCheck->isChecked() || BackupFWCheckBox->isChecked()) {
      UpdateBtn->setEnabled(true);
    }
  }

  StatusEdit->clear();
  SFlashTypeLable->clear();
  FwVerLableEdit->clear();
  ChipLabelEdit->setText(WindowText(ChipTypeName(state_.ChipType)));

  switch (ChipGroupOf(state_.ChipType)) {
    case ChipGroup::SerialFlash: {
      ShowSerialFlashLayout();
      const std::uint8_t type = state_.ChipType;
      if (type == 6 || type == 8 || type == 9 || type == 10 || type == 11) {
        NVRAMCheck->show();
        NVRAMCheck->setChecked(true);
      }
      SFlashTypeLable->setText(WindowText(DetermineSerialFlash(path, state_, settings_)));
      break;
    }
    case ChipGroup::DiskKept:
      ShowDiskKeptLayout(path);
      break;
    case ChipGroup::ParallelFlash:
      ShowParallelFlashLayout();
      break;
    case ChipGroup::NotSupported:
      ShowUnsupportedLayout();
      break;
  }

  ShowFirmwareVersion(path);
  DiskLetterLable->setText(
      QString::fromLatin1(Devices[static_cast<std::size_t>(selected)].DriveLetters.c_str()));
  if (fileNameRefused) {
    SetStatus(std::string(kFileNameTooLongText));
  }
}

void TQ71xFwTool::ShowSerialFlashLayout() {
  SFlashTypeLable->show();
  FlashTypeList->hide();
  FlashTypeLabel->hide();
  A1ChipCheck->hide();
  FwVerLableEdit->show();
}

void TQ71xFwTool::ShowDiskKeptLayout(const std::string& path) {
  std::uint8_t block[kConfigBlockLength] = {};
  const int level = ReadConfigBlock(path, block, kConfigBlockLength);
  if (level == 0) {
    return;
  }
  state_.ConfigLevel = level;
  if (level < kDiskKeptSupportedLevel) {
    ShowUnsupportedLayout();
    return;
  }
  SFlashTypeLable->hide();
  FlashTypeList->hide();
  FlashTypeLabel->hide();
  A1ChipCheck->hide();
  FwVerLableEdit->show();
}

void TQ71xFwTool::ShowParallelFlashLayout() {
  SFlashTypeLable->hide();
  FlashTypeList->show();
  FlashTypeList->setEnabled(true);
  FlashTypeLabel->show();
  A1ChipCheck->show();
  A1ChipCheck->setEnabled(true);
  FwVerLableEdit->show();
}

void TQ71xFwTool::ShowUnsupportedLayout() {
  SFlashTypeLable->hide();
  FlashTypeList->hide();
  FlashTypeLabel->hide();
  A1ChipCheck->hide();
  FwVerLableEdit->hide();
  SetStatus(std::string(kChipNotSupportedText));
}

void TQ71xFwTool::ShowFirmwareVersion(const std::string& path) {
  std::uint8_t reply[kFwInfoLength] = {};
  std::uint32_t transferred = 0;
  if (ReadFwInfo(path, reply, kFwInfoLength, &transferred) == 0) {
    FwVerLableEdit->setText(QString::fromLatin1(UnreadableVersionText(state_.ChipType).c_str()));
    return;
  }
  if (!HasFwInfoSignature(reply)) {
    SetStatus(std::string(kNotQuvarisChipText));
    return;
  }
  const int toggleBitSet = state_.ChipType == 10 ? ToggleBitProbe(path) : 0;
  FwVerLableEdit->setText(QString::fromLatin1(
      FirmwareVersionText(state_.ChipType, reply, transferred, toggleBitSet).c_str()));
}

}  // namespace q71x
