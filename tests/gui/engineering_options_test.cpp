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

  Tick(window->BackupFWCheckBox);
  EXPECT_TRUE(window->BackupFWCheckBox->isChecked());
  EXPECT_TRUE(window->UpdateBtn->isEnabled());
  EXPECT_TRUE(window->FwFilenameEdit->isEnabled());

  Tick(window->EraseOnlyCheck);
  EXPECT_TRUE(window->EraseOnlyCheck->isChecked());
  EXPECT_FALSE(window->BackupFWCheckBox->isChecked());
  EXPECT_EQ(window->State().EraseOnly, 1u);
  EXPECT_FALSE(window->FwFilenameEdit->isEnabled());
  EXPECT_TRUE(window->UpdateBtn->isEnabled());

  Tick(window->BackupFWCheckBox);
  EXPECT_FALSE(window->EraseOnlyCheck->isChecked());
  EXPECT_EQ(window->State().EraseOnly, 0u);
  EXPECT_TRUE(window->FwFilenameEdit->isEnabled());

  Tick(window->BackupFWCheckBox);
  EXPECT_FALSE(window->EraseOnlyCheck->isChecked());
  EXPECT_FALSE(window->BackupFWCheckBox->isChecked());
  EXPECT_FALSE(window->UpdateBtn->isEnabled());  // no file named
}

TEST_F(EngineeringOptionsTest, EraseOnlyNeedsAnIdentifiedChipBackupOnlyDoesNot) {
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(window->EraseOnlyCheck);
  EXPECT_FALSE(window->UpdateBtn->isEnabled());
  Tick(window->BackupFWCheckBox);
  EXPECT_TRUE(window->UpdateBtn->isEnabled());
}

TEST_F(EngineeringOptionsTest, FirmwareSizeBoxBelongsToType4WithAnActionBox) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.FwInfo = FwInfoReply("713", '1');
  MakeWindow();
  window->show();
  ShowRdPanel();
  ASSERT_EQ(window->State().ChipType, 4);
  EXPECT_FALSE(window->FwSizeCheck->isVisible());

  Tick(window->BackupFWCheckBox);
  EXPECT_TRUE(window->FwSizeCheck->isVisible());
  EXPECT_TRUE(window->FwSizeCheck->isEnabled());
  EXPECT_TRUE(window->FwSizeLable->isVisible());
  Tick(window->EraseOnlyCheck);
  EXPECT_TRUE(window->FwSizeCheck->isVisible());
  Tick(window->EraseOnlyCheck);
  EXPECT_FALSE(window->FwSizeCheck->isVisible());
  EXPECT_FALSE(window->FwSizeLable->isVisible());
}

TEST_F(EngineeringOptionsTest, SizeBoxesSetTheirSettingAndIgnoreTypedTexts) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.FwInfo = FwInfoReply("713", '1');
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(window->EraseOnlyCheck);
  ASSERT_TRUE(window->FwSizeCheck->isVisible());

  window->FwSizeCheck->setFocus();
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(window->FwSizeCheck, Qt::Key_Down);
  }
  EXPECT_EQ(window->FwSizeCheck->currentText(), QStringLiteral("   1MB"));
  EXPECT_EQ(window->Settings().FirmwareSize, 1048576u);

  window->FwSizeCheck->lineEdit()->selectAll();
  QTest::keyClicks(window->FwSizeCheck->lineEdit(), QStringLiteral("7KB"));
  EXPECT_EQ(window->Settings().FirmwareSize, 1048576u);
  // Choosing an item after the typed text applies the size again.
  QTest::keyClick(window->FwSizeCheck, Qt::Key_Up);
  EXPECT_EQ(window->Settings().FirmwareSize, 524288u);

  window->FwPgSizeCheck->setCurrentIndex(3);
  EXPECT_EQ(window->Settings().FlashPageSize, 4096u);
}

TEST_F(EngineeringOptionsTest, HidingThePanelKeepsEraseOnlyAndLetsTheCheckDecideRun) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(window->EraseOnlyCheck);
  ASSERT_FALSE(window->FwFilenameEdit->isEnabled());

  Tick(window->RdCheckBox);
  EXPECT_FALSE(window->RdPanel->isVisible());
  EXPECT_TRUE(window->FwFilenameEdit->isEnabled());
  EXPECT_EQ(window->State().EraseOnly, 1u);
  EXPECT_TRUE(window->EraseOnlyCheck->isChecked());
  EXPECT_TRUE(window->UpdateBtn->isEnabled());  // the chip check: no file, erase-only ticked
}

TEST_F(EngineeringOptionsTest, ATypedDeviceListTextCountsAsNoDevice) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  window->DeviceList->lineEdit()->selectAll();
  platform.ClearCommands();
  QTest::keyClicks(window->DeviceList->lineEdit(), QStringLiteral("x"));
  EXPECT_EQ(window->SelectedDeviceIndex(), -1);
  EXPECT_TRUE(platform.Commands().empty());  // the chip check sent nothing

  Tick(window->EraseOnlyCheck);
  EXPECT_FALSE(window->UpdateBtn->isEnabled());
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
  QTest::mouseClick(window->LoadBtn, Qt::LeftButton);
  ASSERT_EQ(dialogs.FileRequests().size(), 1u);
  EXPECT_EQ(dialogs.FileRequests()[0].Filter, "BinaryFile|*.bin|All Files|*.*|QVF Files|*.qvf");
  EXPECT_EQ(QString::fromStdString(dialogs.FileRequests()[0].InitialDirectory),
            QCoreApplication::applicationDirPath());
  // Cancelled: nothing changes.
  EXPECT_TRUE(window->FwFilenameEdit->text().isEmpty());
  EXPECT_FALSE(window->UpdateBtn->isEnabled());
}

TEST_F(LoadFileTest, ALoadedFileEnablesRunEvenAfterTheCheckRejectedIt) {
  const std::string other = folder.Image("other.bin", 4, 1);
  dialogs.QueueOpenFileAnswer(other);
  QTest::mouseClick(window->LoadBtn, Qt::LeftButton);
  EXPECT_EQ(window->FwFilenameEdit->text().toStdString(), other);
  EXPECT_EQ(dialogs.BoxTexts(),
            std::vector<std::string>{"The firmware file seems not match this chip!"});
  EXPECT_TRUE(window->UpdateBtn->isEnabled());
}

TEST_F(LoadFileTest, AFailedChecksumKeepsRunDisabled) {
  ShowRdPanel();
  Tick(window->ChkSumChk);
  const std::string bad = folder.Image("bad.bin", 1, 1, std::nullopt, /*checksum=*/false);
  const std::string good = folder.Image("good.bin", 1, 1);
  dialogs.QueueOpenFileAnswer(bad);
  QTest::mouseClick(window->LoadBtn, Qt::LeftButton);
  EXPECT_EQ(dialogs.BoxTexts(),
            std::vector<std::string>{"Please check the firmware file with checksum!"});
  EXPECT_FALSE(window->UpdateBtn->isEnabled());
  EXPECT_EQ(window->FwFilenameEdit->text().toStdString(), bad);

  dialogs.QueueOpenFileAnswer(good);
  QTest::mouseClick(window->LoadBtn, Qt::LeftButton);
  EXPECT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_TRUE(window->UpdateBtn->isEnabled());
}

TEST_F(LoadFileTest, ALoadedOrBrowsedNameOf260CharactersIsRefused) {
  const std::string longName = "/" + std::string(259, 'n');
  dialogs.QueueOpenFileAnswer(longName);
  QTest::mouseClick(window->LoadBtn, Qt::LeftButton);
  EXPECT_TRUE(window->FwFilenameEdit->text().isEmpty());
  EXPECT_FALSE(window->UpdateBtn->isEnabled());
  EXPECT_TRUE(window->StatusEdit->text().contains(QStringLiteral("260")));

  ShowRdPanel();
  dialogs.QueueOpenFileAnswer(longName);
  QTest::mouseClick(window->BackupBtn, Qt::LeftButton);
  EXPECT_TRUE(window->BackupFileEdit->text().isEmpty());
  EXPECT_FALSE(window->UpdateBtn->isEnabled());
}

TEST_F(LoadFileTest, BrowseSetsTheBackupNameAndEnablesRun) {
  window->show();
  ShowRdPanel();
  QTest::mouseClick(window->BackupBtn, Qt::LeftButton);  // cancelled
  EXPECT_TRUE(window->BackupFileEdit->text().isEmpty());
  EXPECT_FALSE(window->UpdateBtn->isEnabled());

  dialogs.QueueOpenFileAnswer(folder.File("old.bin"));
  QTest::mouseClick(window->BackupBtn, Qt::LeftButton);
  EXPECT_EQ(window->BackupFileEdit->text().toStdString(), folder.File("old.bin"));
  EXPECT_TRUE(window->UpdateBtn->isEnabled());
  EXPECT_EQ(dialogs.FileRequests().size(), 2u);
}

}  // namespace
}  // namespace q71x::testing
