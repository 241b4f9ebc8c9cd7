// The engineering options: the "RD Version" switch with its panel, the two mutually exclusive
// action boxes, the backup-file browser and the two size boxes.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <array>

#include "src/app/combo_selection.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"

namespace q71x {
namespace {

constexpr std::array<std::uint32_t, 6> kFirmwareSizes = {32768,  65536,  131072,
                                                         262144, 524288, 1048576};
constexpr std::array<std::uint32_t, 5> kFlashPageSizes = {32768, 16384, 8192, 4096, 2048};

// The value for the box's selected item; a typed text that selects no item keeps `current`.
template <std::size_t N>
std::uint32_t SizeForSelection(const QComboBox* box, const std::array<std::uint32_t, N>& sizes,
                               std::uint32_t current) {
  const int item = SelectedItem(box);
  if (item < 0 || static_cast<std::size_t>(item) >= sizes.size()) {
    return current;
  }
  return sizes[static_cast<std::size_t>(item)];
}

}  // namespace

void TQ71xFwTool::EraseOnlyCheckClick(QObject* sender) {
  if (sender->property("tag").toInt() == 0) {
    if (state_.ChipType == 6) {
      NVRAMCheck->show();
    }
    if (EraseOnlyCheck->isChecked()) {
      BackupFWCheckBox->setChecked(false);  // runs this handler for that box first
    }
  } else if (BackupFWCheckBox->isChecked()) {
    EraseOnlyCheck->setChecked(false);
  }

  const bool actionTicked = EraseOnlyCheck->isChecked() || BackupFWCheckBox->isChecked();
  const bool showFwSize = state_.ChipType == 4 && actionTicked;
  FwSizeCheck->setEnabled(showFwSize);
  FwSizeCheck->setVisible(showFwSize);
  FwSizeLable->setVisible(showFwSize);

  state_.EraseOnly = EraseOnlyCheck->isChecked() ? 1 : 0;

  const bool deviceIdentified = SelectedDeviceIndex() >= 0 && state_.ChipType != 0;
  if (EraseOnlyCheck->isChecked()) {
    FwFilenameEdit->setEnabled(false);
    UpdateBtn->setEnabled(deviceIdentified);
  } else {
    FwFilenameEdit->setEnabled(true);
    // No mismatch box here: only the file check's own open-failure box can appear.
    UpdateBtn->setEnabled(deviceIdentified && FileNameMatchesChip());
  }
  if (!UpdateBtn->isEnabled() && BackupFWCheckBox->isChecked()) {
    UpdateBtn->setEnabled(true);
  }
}

void TQ71xFwTool::RdCheckBoxClick(QObject*) {
  if (RdCheckBox->isChecked()) {
    RdPanel->show();
    setFixedHeight(height() + kRdPanelHeight);
    return;
  }
  RdPanel->hide();
  setFixedHeight(height() - kRdPanelHeight);
  FwSizeCheck->hide();
  FwSizeLable->hide();
  FwFilenameEdit->setEnabled(true);
  UpdateBtn->setEnabled(false);
  UpdateBtnCheck(RdCheckBox);
}

void TQ71xFwTool::BackupBtnClick(QObject*) {
  StatusEdit->clear();
  const std::optional<QString> chosen = RunOpenDialog1();
  if (!chosen) {
    return;
  }
  BackupFileEdit->setText(*chosen);
  UpdateBtn->setEnabled(true);
}

void TQ71xFwTool::FwSizeCheckChange(QObject*) {
  settings_.FirmwareSize = SizeForSelection(FwSizeCheck, kFirmwareSizes, settings_.FirmwareSize);
}

void TQ71xFwTool::FwPgSizeCheckChange(QObject*) {
  // The hidden QV958Path box lands here too; it only re-applies the page-size box.
  settings_.FlashPageSize =
      SizeForSelection(FwPgSizeCheck, kFlashPageSizes, settings_.FlashPageSize);
}

}  // namespace q71x
