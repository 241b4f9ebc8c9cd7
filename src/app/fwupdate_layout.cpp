// SPDX-License-Identifier: GPL-2.0-or-later
// The window's layout: every control with its text, bounds (left, top, width, height in pixels
// relative to its parent), keyboard order, initial state and handler.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "src/app/combo_selection.h"
#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/catalog/parallel_part_table.h"
#include "src/tool/tool_texts.h"

namespace q71x {
namespace {

constexpr int kWindowLeft = 500;
constexpr int kWindowTop = 225;
// "MS Sans Serif" 8 point is 11 pixels high; where the platform lacks it, the nearest sans faces
// of the same metrics come first.
constexpr int kWindowFontPixels = 11;
constexpr int kFwSizeFontPixels = 13;
constexpr int kFwSizeItemHeight = 16;

QFont WindowFont() {
  static const char* const kFamilies[] = {"MS Sans Serif",   "Microsoft Sans Serif", "Arial",
                                          "Liberation Sans", "Nimbus Sans",          "Helvetica",
                                          "DejaVu Sans"};
  QFont font;
  for (const char* family : kFamilies) {
    if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
      font.setFamily(QString::fromLatin1(family));
      break;
    }
  }
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kWindowFontPixels);
  return font;
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* button = Named(new QPushButton(QString::fromLatin1(text), parent), name);
  button->setGeometry(bounds);
  return button;
}

// Labels size themselves to their text, so a wider substitute font never clips a caption.
QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* label = Named(new QLabel(QString::fromLatin1(text), parent), name);
  const QSize hint = label->sizeHint();
  label->setGeometry(bounds.left(), bounds.top(), std::max(bounds.width(), hint.width()),
                     std::max(bounds.height(), hint.height()));
  return label;
}

// Check boxes grow to their caption as well; where the font has the layout's metrics they keep
// their bounds exactly.
QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* box = Named(new QCheckBox(QString::fromLatin1(text), parent), name);
  box->setGeometry(bounds.left(), bounds.top(), std::max(bounds.width(), box->sizeHint().width()),
                   bounds.height());
  return box;
}

QComboBox* MakeCombo(QWidget* parent, const char* name, const QStringList& items, QRect bounds,
                     int selected) {
  auto* box = Named(new QComboBox(parent), name);
  MakeEditableWithoutInsert(box);
  box->addItems(items);
  box->setCurrentIndex(selected);
  box->setGeometry(bounds);
  return box;
}

TLabeledEdit* MakeLabeledEdit(QWidget* parent, const char* name, const char* label, QRect bounds) {
  auto* edit = Named(new TLabeledEdit(QString::fromLatin1(label), parent), name);
  edit->EditLabel()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
  edit->PlaceAt(bounds.left(), bounds.top(), bounds.width(), bounds.height());
  return edit;
}

// Display-only fields: read-only on the button-face colour.
void MakeDisplayField(TLabeledEdit* edit) {
  edit->setReadOnly(true);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  edit->setPalette(palette);
}

// The flash-type list's items as the catalogue names the parts; the item number is the value.
QStringList ParallelPartItems() {
  QStringList items;
  for (const PartChoice& choice : ParallelPartChoices()) {
    items << QString::fromLatin1(choice.Caption.data(),
                                 static_cast<qsizetype>(choice.Caption.size()));
  }
  return items;
}

}  // namespace

void TQ71xFwTool::BuildLayout() {
  setObjectName(QStringLiteral("Q71xFwTool"));
  setWindowTitle(
      QString::fromLatin1(kWindowCaption.data(), static_cast<qsizetype>(kWindowCaption.size())));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  setFixedSize(kClientWidth, kClientHeight);
  move(kWindowLeft, kWindowTop);

  auto* ChipLabelEdit = MakeLabeledEdit(this, "ChipLabelEdit", "Chip ", {80, 12, 129, 21});
  MakeDisplayField(ChipLabelEdit);
  auto* RefreshBtn = MakeButton(this, "RefreshBtn", "Refresh Device", {240, 8, 91, 25});
  RefreshBtn->hide();
  auto* diskLabel = MakeLabel(this, "diskLabel", "USB Disk", {24, 44, 46, 13});
  auto* DeviceList = MakeCombo(this, "DeviceList", {}, {80, 40, 249, 21}, -1);
  auto* FwFilenameEdit =
      MakeLabeledEdit(this, "FwFilenameEdit", "Firmware File ", {80, 70, 249, 21});
  auto* LoadBtn = MakeButton(this, "LoadBtn", "Load File", {256, 96, 75, 25});
  auto* DiskLetterLable = MakeLabeledEdit(this, "DiskLetterLable", "Drives ", {80, 100, 89, 21});
  MakeDisplayField(DiskLetterLable);
  auto* FwVerLableEdit =
      MakeLabeledEdit(this, "FwVerLableEdit", "Firmware Ver. ", {80, 124, 89, 21});
  MakeDisplayField(FwVerLableEdit);
  auto* SFlashTypeLable = MakeLabeledEdit(this, "SFlashTypeLable", "Flash Type", {80, 148, 89, 21});
  MakeDisplayField(SFlashTypeLable);
  auto* FwPgBurnSizeLabel = MakeLabel(this, "FwPgBurnSizeLabel", "Flash PgSz", {24, 175, 53, 13});
  FwPgBurnSizeLabel->hide();
  auto* FwPgSizeCheck =
      MakeCombo(this, "FwPgSizeCheck",
                {QStringLiteral("32 KB"), QStringLiteral("16 KB"), QStringLiteral(" 8 KB"),
                 QStringLiteral(" 4 KB"), QStringLiteral(" 2 KB")},
                {80, 172, 89, 21}, 1);
  FwPgSizeCheck->hide();
  auto* FlashTypeLabel = MakeLabel(this, "FlashTypeLabel", "Flash Type ", {24, 196, 55, 13});
  auto* FlashTypeList =
      MakeCombo(this, "FlashTypeList", ParallelPartItems(), {80, 196, 145, 21}, 0);
  auto* StatusEdit = MakeLabeledEdit(this, "StatusEdit", "Status ", {80, 220, 249, 21});
  StatusEdit->setReadOnly(true);
  auto* RdCheckBox = MakeCheck(this, "RdCheckBox", "RD Version", {8, 264, 81, 17});
  auto* UpdateBtn = MakeButton(this, "UpdateBtn", "Run", {96, 256, 75, 25});
  UpdateBtn->setEnabled(false);
  auto* ExitBtn = MakeButton(this, "ExitBtn", "Exit", {216, 256, 75, 25});
  auto* Panel1 = Named(new QFrame(this), "Panel1");
  Panel1->setGeometry(8, 289, 345 - 8, 3);
  Panel1->setAutoFillBackground(true);
  {
    QPalette palette = Panel1->palette();
    palette.setColor(QPalette::Window, QColor(0x00, 0x00, 0x80));  // navy
    Panel1->setPalette(palette);
  }
  auto* RdPanel = Named(new QFrame(this), "RdPanel");
  RdPanel->setGeometry(0, 296, 345, kRdPanelHeight);
  RdPanel->hide();

  auto* A1ChipCheck = MakeCheck(RdPanel, "A1ChipCheck", "A1 Chip", {8, 8, 65, 17});
  auto* ChkSumChk = MakeCheck(RdPanel, "ChkSumChk", "Check CheckSum", {128, 8, 113, 17});
  auto* QV958Path = MakeCombo(RdPanel, "QV958Path",
                              {QStringLiteral("1.SETNVRAM"), QStringLiteral("2.FLASHREAD"),
                               QStringLiteral("3.FLASHOPCODE")},
                              {240, 4, 97, 21}, 0);
  QV958Path->hide();
  auto* EraseOnlyCheck =
      MakeCheck(RdPanel, "EraseOnlyCheck", "Erase All Flash Only ", {8, 28, 121, 17});
  EraseOnlyCheck->setProperty("tag", 0);
  auto* NVRAMCheck = MakeCheck(RdPanel, "NVRAMCheck", "Include 4K NVRAM", {128, 28, 113, 17});
  auto* BackupFWCheckBox =
      MakeCheck(RdPanel, "BackupFWCheckBox", "Backup Old Firmware Only", {8, 48, 153, 17});
  BackupFWCheckBox->setProperty("tag", 1);
  auto* BackupBtn = MakeButton(RdPanel, "BackupBtn", "Browse", {256, 61, 75, 25});
  auto* FwSizeCheck =
      MakeCombo(RdPanel, "FwSizeCheck",
                {QStringLiteral("32KB"), QStringLiteral("64KB"), QStringLiteral("128KB"),
                 QStringLiteral("256KB"), QStringLiteral("512KB"), QStringLiteral("   1MB")},
                {8, 72, 65, 24}, 0);
  {
    QFont font = FwSizeCheck->font();
    font.setPixelSize(kFwSizeFontPixels);
    FwSizeCheck->setFont(font);
    for (int i = 0; i < FwSizeCheck->count(); ++i) {
      FwSizeCheck->setItemData(i, QSize(0, kFwSizeItemHeight), Qt::SizeHintRole);
    }
  }
  auto* FwSizeLable = MakeLabel(RdPanel, "FwSizeLable", "Firmware size", {75, 75, 63, 13});
  auto* BackupFileEdit =
      MakeLabeledEdit(RdPanel, "BackupFileEdit", "Backup FileName ", {115, 96, 214, 21});

  // Keyboard order: the panels first (0 and 1, the engineering panel's own order inside), then
  // the window's controls by their numbers.
  const std::vector<QWidget*> order = {
      BackupFWCheckBox, EraseOnlyCheck,  BackupFileEdit, BackupBtn,  A1ChipCheck,
      NVRAMCheck,       FwSizeCheck,     ChkSumChk,      QV958Path,  ChipLabelEdit,
      RefreshBtn,       FwFilenameEdit,  LoadBtn,        DeviceList, DiskLetterLable,
      FwVerLableEdit,   SFlashTypeLable, FlashTypeList,  StatusEdit, RdCheckBox,
      ExitBtn,          UpdateBtn,       FwPgSizeCheck};
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }

  Put(Control::ChipLabelEdit, ChipLabelEdit);
  Put(Control::RefreshBtn, RefreshBtn);
  Put(Control::diskLabel, diskLabel);
  Put(Control::DeviceList, DeviceList);
  Put(Control::FwFilenameEdit, FwFilenameEdit);
  Put(Control::LoadBtn, LoadBtn);
  Put(Control::DiskLetterLable, DiskLetterLable);
  Put(Control::FwVerLableEdit, FwVerLableEdit);
  Put(Control::SFlashTypeLable, SFlashTypeLable);
  Put(Control::FwPgBurnSizeLabel, FwPgBurnSizeLabel);
  Put(Control::FwPgSizeCheck, FwPgSizeCheck);
  Put(Control::FlashTypeLabel, FlashTypeLabel);
  Put(Control::FlashTypeList, FlashTypeList);
  Put(Control::StatusEdit, StatusEdit);
  Put(Control::RdCheckBox, RdCheckBox);
  Put(Control::UpdateBtn, UpdateBtn);
  Put(Control::ExitBtn, ExitBtn);
  Put(Control::RdPanel, RdPanel);
  Put(Control::A1ChipCheck, A1ChipCheck);
  Put(Control::ChkSumChk, ChkSumChk);
  Put(Control::QV958Path, QV958Path);
  Put(Control::EraseOnlyCheck, EraseOnlyCheck);
  Put(Control::NVRAMCheck, NVRAMCheck);
  Put(Control::BackupFWCheckBox, BackupFWCheckBox);
  Put(Control::BackupBtn, BackupBtn);
  Put(Control::FwSizeCheck, FwSizeCheck);
  Put(Control::FwSizeLable, FwSizeLable);
  Put(Control::BackupFileEdit, BackupFileEdit);

  // Screen readers name a control by its caption; the boxes have their caption beside them.
  DeviceList->setAccessibleName(QStringLiteral("Device"));
  FwPgSizeCheck->setAccessibleName(QStringLiteral("Flash PgSz"));
  FlashTypeList->setAccessibleName(QStringLiteral("Flash Type"));
  QV958Path->setAccessibleName(QStringLiteral("Path"));
  FwSizeCheck->setAccessibleName(QStringLiteral("Firmware size"));
  RdPanel->setAccessibleName(QStringLiteral("Engineering options"));
  for (QWidget* widget : widgets_) {
    if (!widget->accessibleName().isEmpty()) {
      continue;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      widget->setAccessibleName(button->text().trimmed());
    } else if (auto* edit = qobject_cast<TLabeledEdit*>(widget)) {
      widget->setAccessibleName(edit->EditLabel()->text().trimmed());
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      widget->setAccessibleName(label->text().trimmed());
    }
  }
}

void TQ71xFwTool::ConnectHandlers() {
  ToolCore& core = *core_;
  auto clicked = [this](Control control, void (ToolCore::*handler)()) {
    connect(As<QPushButton>(control), &QPushButton::clicked, this,
            [this, handler] { ((*core_).*handler)(); });
  };
  clicked(Control::RefreshBtn, &ToolCore::RefreshBtnClick);
  clicked(Control::LoadBtn, &ToolCore::LoadBtnClick);
  clicked(Control::UpdateBtn, &ToolCore::UpdateBtnClick);
  clicked(Control::ExitBtn, &ToolCore::ExitBtnClick);
  clicked(Control::BackupBtn, &ToolCore::BackupBtnClick);

  auto comboChange = [this](Control control, void (ToolCore::*handler)(int)) {
    auto* box = As<QComboBox>(control);
    ConnectComboChange(box, [this, box, handler] { ((*core_).*handler)(SelectedItem(box)); });
  };
  comboChange(Control::DeviceList, &ToolCore::DeviceListChanged);
  comboChange(Control::FlashTypeList, &ToolCore::FlashTypeChanged);
  comboChange(Control::FwPgSizeCheck, &ToolCore::FwPgSizeCheckChange);
  comboChange(Control::QV958Path, &ToolCore::QV958PathChange);
  comboChange(Control::FwSizeCheck, &ToolCore::FwSizeCheckChange);

  connect(As<QLineEdit>(Control::FwFilenameEdit), &QLineEdit::textChanged, this,
          [&core](const QString& text) {
            core.FirmwareFileEdited(QFile::encodeName(text).toStdString());
          });
  connect(As<QLineEdit>(Control::BackupFileEdit), &QLineEdit::textChanged, this,
          [&core](const QString& text) {
            core.BackupFileEdited(QFile::encodeName(text).toStdString());
          });
  // Every tick goes to the core, which runs the box's handler; ticks the core sets itself do
  // not come back here.
  for (Control box : {Control::RdCheckBox, Control::A1ChipCheck, Control::ChkSumChk,
                      Control::EraseOnlyCheck, Control::NVRAMCheck, Control::BackupFWCheckBox}) {
    connect(As<QCheckBox>(box), &QCheckBox::toggled, this,
            [&core, box](bool ticked) { core.TickChanged(box, ticked); });
  }
}

}  // namespace q71x
