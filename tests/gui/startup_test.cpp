// SPDX-License-Identifier: GPL-2.0-or-later
// Start-up, the two window heights and shut-down.

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>

#include "src/tool/window_description.h"
#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

using StartupTest = WindowTest;

// Every control a keyboard reaches has a name a screen reader can say, and Tab goes through the
// panels' controls first, then the window's, in the layout's order.
TEST_F(StartupTest, ControlsHaveAccessibleNamesAndTheLayoutsTabOrder) {
  MakeWindow();
  window->show();
  Tick(Child<QCheckBox>(*window, "RdCheckBox"));
  const std::vector<const char*> order = {
      "BackupFWCheckBox", "EraseOnlyCheck",  "BackupFileEdit", "BackupBtn",  "A1ChipCheck",
      "NVRAMCheck",       "FwSizeCheck",     "ChkSumChk",      "QV958Path",  "ChipLabelEdit",
      "RefreshBtn",       "FwFilenameEdit",  "LoadBtn",        "DeviceList", "DiskLetterLable",
      "FwVerLableEdit",   "SFlashTypeLable", "FlashTypeList",  "StatusEdit", "RdCheckBox",
      "ExitBtn",          "UpdateBtn",       "FwPgSizeCheck"};
  for (std::size_t i = 0; i < order.size(); ++i) {
    QWidget* widget = Child<QWidget>(*window, order[i]);
    EXPECT_FALSE(widget->accessibleName().trimmed().isEmpty()) << order[i];
    if (i + 1 < order.size()) {
      // The next control in the chain that takes focus from the keyboard (an editable box's own
      // text field, which has no name, belongs to its box).
      QWidget* next = widget->nextInFocusChain();
      while (next != widget &&
             (!(next->focusPolicy() & Qt::TabFocus) || next->objectName().isEmpty())) {
        next = next->nextInFocusChain();
      }
      EXPECT_EQ(next->objectName().toStdString(), order[i + 1]) << "after " << order[i];
    }
  }
  EXPECT_EQ(Child<QWidget>(*window, "FwFilenameEdit")->accessibleName(),
            QStringLiteral("Firmware File"));
  EXPECT_EQ(Child<QWidget>(*window, "DeviceList")->accessibleName(), QStringLiteral("Device"));
}

// The window draws every control of the core's description: in its parent, at its place, with
// its caption or items, and reached by the keyboard exactly when the description says so.
TEST_F(StartupTest, TheWindowBuildsEveryControlOfTheDescription) {
  TQ71xFwTool& w = MakeWindow();
  QWidget* panel = Child<QFrame>(w, "RdPanel");
  for (const ControlSpec& spec : WindowDescription()) {
    const char* name = ControlName(spec.Id);
    QWidget* widget = Child<QWidget>(w, name);
    EXPECT_EQ(widget->parentWidget(), spec.InRdPanel ? panel : &w) << name;
    EXPECT_EQ(widget->pos(), QPoint(spec.Place.Left, spec.Place.Top)) << name;
    EXPECT_EQ((widget->focusPolicy() & Qt::TabFocus) != 0, spec.TabStop) << name;
    QString caption;
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      caption = button->text();
    } else if (auto* edit = qobject_cast<TLabeledEdit*>(widget)) {
      caption = edit->EditLabel()->text();
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      caption = label->text();
    }
    EXPECT_EQ(caption.toStdString(), spec.Text) << name;
    if (auto* box = qobject_cast<QComboBox*>(widget); box != nullptr && !spec.Items.empty()) {
      ASSERT_EQ(box->count(), static_cast<int>(spec.Items.size())) << name;
      for (int i = 0; i < box->count(); ++i) {
        EXPECT_EQ(box->itemText(i).toStdString(), spec.Items[static_cast<std::size_t>(i)].Caption)
            << name;
      }
    }
  }
}

TEST_F(StartupTest, WithoutBridgeTheWindowOpensShortWithDisabledListAndEmptyFields) {
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(w.windowTitle(), QStringLiteral(" QV4071x FW Update Utility v1.16.00"));
  EXPECT_EQ(w.width(), 347);
  EXPECT_EQ(w.height(), 420 - 129);
  EXPECT_FALSE(Child<QFrame>(w, "RdPanel")->isVisibleTo(&w));
  ASSERT_EQ(Child<QComboBox>(w, "DeviceList")->count(), 1);
  EXPECT_EQ(Child<QComboBox>(w, "DeviceList")->currentText(),
            QStringLiteral("No available device!!!"));
  EXPECT_FALSE(Child<QComboBox>(w, "DeviceList")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(w, "UpdateBtn")->isEnabled());
  for (TLabeledEdit* field :
       {Child<TLabeledEdit>(w, "ChipLabelEdit"), Child<TLabeledEdit>(w, "DiskLetterLable"),
        Child<TLabeledEdit>(w, "FwVerLableEdit"), Child<TLabeledEdit>(w, "SFlashTypeLable"),
        Child<TLabeledEdit>(w, "StatusEdit")}) {
    EXPECT_TRUE(field->text().isEmpty()) << field->objectName().toStdString();
  }
  EXPECT_EQ(w.Core().DeviceCount(), 0);
  EXPECT_EQ(w.Core().State().EraseOnly, 0u);
  EXPECT_TRUE(dialogs.Boxes().empty());
  // Program-wide settings start from their own values, not from the boxes' first items.
  EXPECT_EQ(w.Core().Settings().FirmwareSize, 65536u);
  EXPECT_EQ(w.Core().Settings().FlashPageSize, 8192u);
  EXPECT_EQ(Child<QComboBox>(w, "FwSizeCheck")->currentText(), QStringLiteral("32KB"));
}

TEST_F(StartupTest, RdVersionShowsThePanelAndTwoSwitchesRestoreTheHeight) {
  TQ71xFwTool& w = MakeWindow();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  const int shortHeight = w.height();

  Tick(Child<QCheckBox>(w, "RdCheckBox"));
  EXPECT_EQ(w.height(), shortHeight + 129);
  EXPECT_TRUE(Child<QFrame>(w, "RdPanel")->isVisible());
  EXPECT_TRUE(Child<QCheckBox>(w, "EraseOnlyCheck")->isVisible());
  Tick(Child<QCheckBox>(w, "RdCheckBox"));
  EXPECT_EQ(w.height(), shortHeight);
  EXPECT_FALSE(Child<QFrame>(w, "RdPanel")->isVisible());

  Tick(Child<QCheckBox>(w, "RdCheckBox"));
  Tick(Child<QCheckBox>(w, "RdCheckBox"));
  EXPECT_EQ(w.height(), shortHeight);
  EXPECT_EQ(w.width(), 347);
}

TEST_F(StartupTest, HiddenControlsStayHiddenInEngineeringMode) {
  TQ71xFwTool& w = MakeWindow();
  w.show();
  ShowRdPanel();
  EXPECT_FALSE(Child<QPushButton>(w, "RefreshBtn")->isVisible());
  EXPECT_FALSE(Child<QComboBox>(w, "FwPgSizeCheck")->isVisible());
  EXPECT_FALSE(Child<QLabel>(w, "FwPgBurnSizeLabel")->isVisible());
  EXPECT_FALSE(Child<QComboBox>(w, "QV958Path")->isVisible());
  // The firmware-size box belongs to chip type 4 with an action box ticked only.
  EXPECT_FALSE(Child<QComboBox>(w, "FwSizeCheck")->isVisible());
  EXPECT_FALSE(Child<QLabel>(w, "FwSizeLable")->isVisible());
  EXPECT_TRUE(Child<TLabeledEdit>(w, "BackupFileEdit")->isVisible());
  EXPECT_TRUE(Child<TLabeledEdit>(w, "BackupFileEdit")->EditLabel()->isVisible());
}

TEST_F(StartupTest, StartUpOpensEveryBridgeSessionAndChecksTheFirstDevice) {
  AddQv40714();
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(w.Core().DeviceCount(), 1);
  EXPECT_TRUE(Child<QComboBox>(w, "DeviceList")->isEnabled());
  EXPECT_EQ(Child<QComboBox>(w, "DeviceList")->currentIndex(), 0);
  EXPECT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40714 Series"));
  EXPECT_EQ(CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55}), 1);
  // The chip check runs at the end of the refresh and again when the panel is hidden.
  EXPECT_EQ(CommandsStartingWith({0xE0, 0xF4, 0xE7}), 2);
  EXPECT_FALSE(Child<QPushButton>(w, "UpdateBtn")->isEnabled());
  EXPECT_TRUE(w.Core().DevNotify());
}

TEST_F(StartupTest, ClosingSendsSessionCloseToCdromClassDevicesOnly) {
  AddQv40714(kUsbPath);
  AddQv40714(kSecondUsbPath);
  bridges[kCdromPath].InquiryCode = "q926";
  platform.SetInterfaces(InterfaceClass::Cdrom, {kCdromPath});
  MakeWindow();
  ASSERT_EQ(window->Core().DeviceCount(), 3);
  EXPECT_EQ(window->Core().Devices()[2].IsCdromClass, 1);
  platform.ClearCommands();

  window.reset();

  std::vector<std::string> closed;
  for (const auto& command : platform.Commands()) {
    if (command.Cdb.size() >= 5 && command.Cdb[0] == 0xFF && command.Cdb[2] == 0x51 &&
        command.Cdb[4] == 0xAA) {
      closed.push_back(command.Path);
    }
  }
  EXPECT_EQ(closed, std::vector<std::string>{kCdromPath});
}

TEST_F(StartupTest, HotPlugRegistrationLivesAsLongAsTheWindow) {
  MakeWindow();
  EXPECT_TRUE(platform.HasListener());
  platform.Notify(DeviceChange::Arrival);
  QCoreApplication::processEvents();
  EXPECT_TRUE(timers->IsRunning(kHotPlugTimerId));

  window.reset();
  EXPECT_FALSE(platform.HasListener());
}

}  // namespace
}  // namespace q71x::testing
