// SPDX-License-Identifier: GPL-2.0-or-later
// Device refresh, the hot-plug debounce and dropped files.

#include <QLabel>

#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

using DeviceRefreshTest = WindowTest;

// A refresh opens the bridge session of each disk-class device once: counting the opens counts
// the refreshes.
int SessionOpens(const ScriptedPlatform& platform, const std::string& path) {
  return static_cast<int>(
      std::count_if(platform.Commands().begin(), platform.Commands().end(), [&](auto& c) {
        return c.Path == path && c.Cdb.size() >= 5 && c.Cdb[0] == 0xFF && c.Cdb[2] == 0x51 &&
               c.Cdb[4] == 0x55;
      }));
}

TEST_F(DeviceRefreshTest, ABurstOfArrivalsGivesOneRefreshTimedFromTheLast) {
  MakeWindow();
  AddQv40714();
  window->Core().DeviceChangeMsg(kDeviceArrival);
  timers->Advance(500);
  window->Core().DeviceChangeMsg(kDeviceArrival);
  timers->Advance(1199);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 0);
  EXPECT_EQ(window->Core().DeviceCount(), 0);

  timers->Advance(1);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
  EXPECT_EQ(window->Core().DeviceCount(), 1);
  // The timer fires once per restart.
  timers->Advance(10000);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
}

TEST_F(DeviceRefreshTest, ARemovalAfterAnArrivalTakesTheShortDelay) {
  AddQv40714();
  MakeWindow();
  platform.ClearCommands();
  window->Core().DeviceChangeMsg(kDeviceArrival);
  timers->Advance(100);
  window->Core().DeviceChangeMsg(kDeviceRemoveComplete);
  timers->Advance(199);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 0);
  timers->Advance(1);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
  timers->Advance(2000);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
}

TEST_F(DeviceRefreshTest, OnlyArrivalRemovalAndChangedCodesQualify) {
  AddQv40714();
  MakeWindow();
  platform.ClearCommands();
  window->Core().DeviceChangeMsg(0x8001);  // query remove
  window->Core().DeviceChangeMsg(0x0018);  // configuration changed
  timers->Advance(5000);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 0);
  EXPECT_TRUE(timers->Sets().empty());

  window->Core().DeviceChangeMsg(kDevNodesChanged);
  ASSERT_EQ(timers->Sets().size(), 1u);
  EXPECT_EQ(timers->Sets().back().DelayMs, 200);
  timers->Advance(200);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
}

TEST_F(DeviceRefreshTest, PlatformNotificationsDriveTheDebounce) {
  MakeWindow();
  AddQv40714();
  platform.Notify(DeviceChange::Arrival);
  QCoreApplication::processEvents();
  ASSERT_EQ(timers->Sets().size(), 1u);
  EXPECT_EQ(timers->Sets().back().DelayMs, 1200);
  timers->Advance(1200);
  EXPECT_EQ(window->Core().DeviceCount(), 1);

  diskPaths.clear();
  platform.SetInterfaces(InterfaceClass::Disk, {});
  platform.Notify(DeviceChange::Removal);
  QCoreApplication::processEvents();
  EXPECT_EQ(timers->Sets().back().DelayMs, 200);
  timers->Advance(200);
  EXPECT_EQ(window->Core().DeviceCount(), 0);
  EXPECT_EQ(Child<QComboBox>(*window, "DeviceList")->currentText(),
            QStringLiteral("No available device!!!"));
  EXPECT_FALSE(Child<QComboBox>(*window, "DeviceList")->isEnabled());
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "ChipLabelEdit")->text().isEmpty());
}

TEST_F(DeviceRefreshTest, UsbAnd1394BridgesAreListedWithTheirPrefixes) {
  AddQv40714(kUsbPath).Name = "QVSIM   USB ENCLOSURE";
  FakeBridge& fw = AddBridge(k1394Path, "q846");
  fw.Name = "QVSIM   1394 ENCLOSURE";
  MakeWindow();

  ASSERT_EQ(Child<QComboBox>(*window, "DeviceList")->count(), 2);
  EXPECT_EQ(Child<QComboBox>(*window, "DeviceList")->itemText(0),
            QStringLiteral("<<USB>> QVSIM   USB ENCLOSURE"));
  EXPECT_EQ(Child<QComboBox>(*window, "DeviceList")->itemText(1),
            QStringLiteral("<<1394>> QVSIM   1394 ENCLOSURE"));
  // The caption names the kind of the last device listed, whichever is selected.
  EXPECT_EQ(Child<QLabel>(*window, "diskLabel")->text(), QStringLiteral("1394 DISK"));
  EXPECT_EQ(window->Core().Devices()[0].IsCdromClass, 0);
  EXPECT_EQ(window->Core().Devices()[1].IsCdromClass, 0);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
  EXPECT_EQ(SessionOpens(platform, k1394Path), 1);
}

TEST_F(DeviceRefreshTest, CdromClassDevicesGetTheirSessionOpenedTwice) {
  AddQv40714();
  bridges[kCdromPath].InquiryCode = "q926";
  platform.SetInterfaces(InterfaceClass::Cdrom, {kCdromPath});
  MakeWindow();
  EXPECT_EQ(window->Core().DeviceCount(), 2);
  EXPECT_EQ(window->Core().Devices()[1].DevicePath, kCdromPath);
  EXPECT_EQ(window->Core().Devices()[1].IsCdromClass, 1);
  EXPECT_EQ(SessionOpens(platform, kCdromPath), 2);
  EXPECT_EQ(SessionOpens(platform, kUsbPath), 1);
}

TEST_F(DeviceRefreshTest, ADeviceThatDoesNotAnswerInquiryTakesThePreviousName) {
  AddQv40714(kUsbPath).Name = "FIRST   BRIDGE";
  AddQv40714(kSecondUsbPath).InquiryOk = false;
  MakeWindow();
  ASSERT_EQ(Child<QComboBox>(*window, "DeviceList")->count(), 2);
  EXPECT_EQ(Child<QComboBox>(*window, "DeviceList")->itemText(1),
            QStringLiteral("<<USB>> FIRST   BRIDGE"));
}

TEST_F(DeviceRefreshTest, PathsAreLowerCasedAndDriveLettersShown) {
  const std::string upper = "\\\\?\\usbstor#DISK&VEN_QV#9&0#{53F56307}";
  std::string lower = upper;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  // Enumeration and the probe see the platform's own spelling; every later command the lower
  // case one.
  bridges[upper].InquiryCode = "q714";
  FakeBridge& bridge = bridges[lower];
  bridge.InquiryCode = "q714";
  platform.SetInterfaces(InterfaceClass::Disk, {upper});
  platform.SetDeviceNumber(lower, {7, 3, 0});
  platform.SetDeviceNumber("\\\\.\\E:", {7, 3, 1});
  platform.SetDeviceNumber("\\\\.\\F:", {7, 3, 2});
  platform.SetVolumes({{"E", "\\\\.\\E:", false, false}, {"F", "\\\\.\\F:", false, false}});
  MakeWindow();
  ASSERT_EQ(window->Core().DeviceCount(), 1);
  EXPECT_EQ(window->Core().Devices()[0].DevicePath, lower);
  EXPECT_EQ(Child<TLabeledEdit>(*window, "DiskLetterLable")->text(), QStringLiteral("EF"));
}

// Two enclosures of one chip take the same image: after the power cycle the update asks for,
// Run must still be for the enclosure the operator chose, not the first one listed.
TEST_F(DeviceRefreshTest, ARefreshKeepsTheChosenDeviceWhileItIsListed) {
  AddQv40714(kUsbPath);
  AddQv40714(kSecondUsbPath);
  MakeWindow();
  QTest::keyClick(Child<QComboBox>(*window, "DeviceList"), Qt::Key_Down);
  ASSERT_EQ(window->Core().SelectedDeviceIndex(), 1);
  window->Core().DeviceChangeMsg(kDevNodesChanged);
  timers->Advance(200);
  EXPECT_EQ(window->Core().SelectedDeviceIndex(), 1);
  EXPECT_EQ(Child<QComboBox>(*window, "DeviceList")->currentIndex(), 1);

  // Gone: the list falls back to its first item.
  diskPaths.erase(diskPaths.begin() + 1);
  platform.SetInterfaces(InterfaceClass::Disk, diskPaths);
  window->Core().DeviceChangeMsg(kDeviceRemoveComplete);
  timers->Advance(200);
  EXPECT_EQ(window->Core().SelectedDeviceIndex(), 0);
  EXPECT_EQ(window->Core().Devices()[0].DevicePath, kUsbPath);
}

TEST_F(DeviceRefreshTest, DroppingOneFileSetsTheFieldAndChecksIt) {
  AddQv40714();
  MakeWindow();
  TempFolder folder;
  const std::string image = folder.Image("fw.bin", 1, 1);
  platform.ClearCommands();

  window->Core().DropFilesMsg({image});
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().toStdString(), image);
  EXPECT_EQ(CommandsStartingWith({0x12}), 1);  // the chip check identified the device again
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_TRUE(dialogs.Boxes().empty());

  // The same file dropped again is checked again, as an edit control reports every text.
  platform.ClearCommands();
  window->Core().DropFilesMsg({image});
  EXPECT_EQ(CommandsStartingWith({0x12}), 1);
}

TEST_F(DeviceRefreshTest, DroppingSeveralFilesOrNoneChangesNothing) {
  AddQv40714();
  MakeWindow();
  Child<TLabeledEdit>(*window, "FwFilenameEdit")->setText(QStringLiteral("kept.bin"));
  const std::size_t boxesBefore = dialogs.Boxes().size();
  platform.ClearCommands();

  window->Core().DropFilesMsg({"/a.bin", "/b.bin"});
  window->Core().DropFilesMsg({});
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text(), QStringLiteral("kept.bin"));
  const std::vector<std::string> texts = dialogs.BoxTexts();
  EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(boxesBefore), texts.end()),
            (std::vector<std::string>{"Please Drag and Drop One File Only!",
                                      "Please Drag and Drop One File Only!"}));
  EXPECT_TRUE(platform.Commands().empty());
}

TEST_F(DeviceRefreshTest, ADroppedNameOf260CharactersIsRefusedNotCut) {
  MakeWindow();
  const std::string longName = "/" + std::string(259, 'a');
  window->Core().DropFilesMsg({longName});
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().isEmpty());
  EXPECT_EQ(Child<TLabeledEdit>(*window, "StatusEdit")->text(),
            QStringLiteral("Firmware file name too long!"));

  const std::string fits = "/" + std::string(258, 'a');
  window->Core().DropFilesMsg({fits});
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().toStdString(), fits);
}

}  // namespace
}  // namespace q71x::testing
