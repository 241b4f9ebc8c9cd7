// SPDX-License-Identifier: GPL-2.0-or-later
// The engineering panel's options, Load File and Browse.

#include <QLabel>
#include <QLineEdit>

#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

using EngineeringOptionsTest = WindowTest;

TEST_F(EngineeringOptionsTest, TheTwoActionBoxesExcludeEachOther) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();

  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  EXPECT_TRUE(Child<QCheckBox>(*window, "BackupFWCheckBox")->isChecked());
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->isEnabled());

  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  EXPECT_TRUE(Child<QCheckBox>(*window, "EraseOnlyCheck")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(*window, "BackupFWCheckBox")->isChecked());
  EXPECT_EQ(window->Core().State().EraseOnly, 1u);
  EXPECT_FALSE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  EXPECT_FALSE(Child<QCheckBox>(*window, "EraseOnlyCheck")->isChecked());
  EXPECT_EQ(window->Core().State().EraseOnly, 0u);
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->isEnabled());

  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  EXPECT_FALSE(Child<QCheckBox>(*window, "EraseOnlyCheck")->isChecked());
  EXPECT_FALSE(Child<QCheckBox>(*window, "BackupFWCheckBox")->isChecked());
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());  // no file named
}

TEST_F(EngineeringOptionsTest, EraseOnlyNeedsAnIdentifiedChipBackupOnlyDoesNot) {
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(EngineeringOptionsTest, FirmwareSizeBoxBelongsToType4WithAnActionBox) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.FwInfo = FwInfoReply("713", '1');
  MakeWindow();
  window->show();
  ShowRdPanel();
  ASSERT_EQ(window->Core().State().ChipType, ChipType::Qv40713Series);
  EXPECT_FALSE(Child<QComboBox>(*window, "FwSizeCheck")->isVisible());

  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  EXPECT_TRUE(Child<QComboBox>(*window, "FwSizeCheck")->isVisible());
  EXPECT_TRUE(Child<QComboBox>(*window, "FwSizeCheck")->isEnabled());
  EXPECT_TRUE(Child<QLabel>(*window, "FwSizeLable")->isVisible());
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  EXPECT_TRUE(Child<QComboBox>(*window, "FwSizeCheck")->isVisible());
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  EXPECT_FALSE(Child<QComboBox>(*window, "FwSizeCheck")->isVisible());
  EXPECT_FALSE(Child<QLabel>(*window, "FwSizeLable")->isVisible());
}

TEST_F(EngineeringOptionsTest, SizeBoxesSetTheirSettingAndIgnoreTypedTexts) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.FwInfo = FwInfoReply("713", '1');
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  ASSERT_TRUE(Child<QComboBox>(*window, "FwSizeCheck")->isVisible());

  Child<QComboBox>(*window, "FwSizeCheck")->setFocus();
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(Child<QComboBox>(*window, "FwSizeCheck"), Qt::Key_Down);
  }
  EXPECT_EQ(Child<QComboBox>(*window, "FwSizeCheck")->currentText(), QStringLiteral("   1MB"));
  EXPECT_EQ(window->Core().Settings().FirmwareSize, 1048576u);

  Child<QComboBox>(*window, "FwSizeCheck")->lineEdit()->selectAll();
  QTest::keyClicks(Child<QComboBox>(*window, "FwSizeCheck")->lineEdit(), QStringLiteral("7KB"));
  EXPECT_EQ(window->Core().Settings().FirmwareSize, 1048576u);
  // Choosing an item after the typed text applies the size again.
  QTest::keyClick(Child<QComboBox>(*window, "FwSizeCheck"), Qt::Key_Up);
  EXPECT_EQ(window->Core().Settings().FirmwareSize, 524288u);

  Child<QComboBox>(*window, "FwPgSizeCheck")->setCurrentIndex(3);
  EXPECT_EQ(window->Core().Settings().FlashPageSize, 4096u);
}

TEST_F(EngineeringOptionsTest, HidingThePanelKeepsEraseOnlyAndLetsTheCheckDecideRun) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  ASSERT_FALSE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->isEnabled());

  Tick(Child<QCheckBox>(*window, "RdCheckBox"));
  EXPECT_FALSE(Child<QFrame>(*window, "RdPanel")->isVisible());
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->isEnabled());
  EXPECT_EQ(window->Core().State().EraseOnly, 1u);
  EXPECT_TRUE(Child<QCheckBox>(*window, "EraseOnlyCheck")->isChecked());
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")
                  ->isEnabled());  // the chip check: no file, erase-only ticked
}

TEST_F(EngineeringOptionsTest, ATypedDeviceListTextCountsAsNoDevice) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Child<QComboBox>(*window, "DeviceList")->lineEdit()->selectAll();
  platform.ClearCommands();
  QTest::keyClicks(Child<QComboBox>(*window, "DeviceList")->lineEdit(), QStringLiteral("x"));
  EXPECT_EQ(window->Core().SelectedDeviceIndex(), -1);
  EXPECT_TRUE(platform.Commands().empty());  // the chip check sent nothing

  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

class LoadFileTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    AddQv40714();
    MakeWindow();
  }
  TempFolder folder;
};

TEST_F(LoadFileTest, TheDialogStartsInTheProgramFolderWithTheImageFilter) {
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  ASSERT_EQ(dialogs.FileRequests().size(), 1u);
  EXPECT_EQ(dialogs.FileRequests()[0].Filter, "BinaryFile|*.bin|All Files|*.*|QVF Files|*.qvf");
  EXPECT_EQ(QString::fromStdString(dialogs.FileRequests()[0].InitialDirectory),
            QCoreApplication::applicationDirPath());
  // Cancelled: nothing changes.
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().isEmpty());
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(LoadFileTest, ALoadedFileEnablesRunEvenAfterTheCheckRejectedIt) {
  const std::string other = folder.Image("other.bin", 4, 1);
  dialogs.QueueOpenFileAnswer(other);
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().toStdString(), other);
  EXPECT_EQ(dialogs.BoxTexts(),
            std::vector<std::string>{"The firmware file seems not match this chip!"});
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(LoadFileTest, AFailedChecksumKeepsRunDisabled) {
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "ChkSumChk"));
  const std::string bad = folder.Image("bad.bin", 1, 1, std::nullopt, /*checksum=*/false);
  const std::string good = folder.Image("good.bin", 1, 1);
  dialogs.QueueOpenFileAnswer(bad);
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  EXPECT_EQ(dialogs.BoxTexts(),
            std::vector<std::string>{"Please check the firmware file with checksum!"});
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().toStdString(), bad);

  dialogs.QueueOpenFileAnswer(good);
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  EXPECT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(LoadFileTest, ALoadedOrBrowsedNameOf260CharactersIsRefused) {
  const std::string longName = "/" + std::string(259, 'n');
  dialogs.QueueOpenFileAnswer(longName);
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().isEmpty());
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_EQ(Child<TLabeledEdit>(*window, "StatusEdit")->text(),
            QStringLiteral("Firmware file name too long!"));

  ShowRdPanel();
  dialogs.QueueOpenFileAnswer(longName);
  QTest::mouseClick(Child<QPushButton>(*window, "BackupBtn"), Qt::LeftButton);
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "BackupFileEdit")->text().isEmpty());
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_EQ(Child<TLabeledEdit>(*window, "StatusEdit")->text(),
            QStringLiteral("Backup file name too long!"));
}

TEST_F(LoadFileTest, BrowseSetsTheBackupNameAndEnablesRun) {
  window->show();
  ShowRdPanel();
  QTest::mouseClick(Child<QPushButton>(*window, "BackupBtn"), Qt::LeftButton);  // cancelled
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "BackupFileEdit")->text().isEmpty());
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  dialogs.QueueOpenFileAnswer(folder.File("old.bin"));
  QTest::mouseClick(Child<QPushButton>(*window, "BackupBtn"), Qt::LeftButton);
  EXPECT_EQ(Child<TLabeledEdit>(*window, "BackupFileEdit")->text().toStdString(),
            folder.File("old.bin"));
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  ASSERT_EQ(dialogs.FileRequests().size(), 2u);
  // A name to write to: a save dialog offering backups, where a new name can be given.
  EXPECT_TRUE(dialogs.FileRequests()[1].ForSaving);
  EXPECT_EQ(dialogs.FileRequests()[1].Filter, "Backup Files|*.bak|All Files|*.*");

  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  ASSERT_EQ(dialogs.FileRequests().size(), 3u);
  EXPECT_FALSE(dialogs.FileRequests()[2].ForSaving);
}

}  // namespace
}  // namespace q71x::testing
