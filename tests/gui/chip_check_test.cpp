// SPDX-License-Identifier: GPL-2.0-or-later
// The chip check: what it shows for each chip group, what it tells the bridge, and when it lets
// Run be pressed.

#include <QLabel>

#include <utility>

#include "src/tool/toggle_bit_probe.h"
#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

using ChipCheckTest = WindowTest;

bool HasCommand(const ScriptedPlatform& platform, const std::vector<std::uint8_t>& cdb) {
  return std::any_of(platform.Commands().begin(), platform.Commands().end(), [&](auto& c) {
    return c.Cdb.size() >= cdb.size() && std::equal(cdb.begin(), cdb.end(), c.Cdb.begin());
  });
}

TEST_F(ChipCheckTest, SerialFlashChipShowsFlashVendorAndShortVersion) {
  AddQv40714();
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40714 Series"));
  EXPECT_EQ(w.Core().State().ChipType, ChipType::Qv40714Series);
  EXPECT_EQ(w.Core().State().ChipRevision, 1);  // GetChipInfo refused
  EXPECT_EQ(Child<TLabeledEdit>(w, "SFlashTypeLable")->text(), QStringLiteral("ATMEL"));
  EXPECT_EQ(w.Core().State().AtmelFlashPart, 1);
  EXPECT_EQ(w.Core().State().AmicFlashPart, -1);
  EXPECT_EQ(w.Core().State().FlashVendor,
            FlashVendor::Unknown);  // the part probes leave the vendor alone
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(),
            QStringLiteral("Ver 2.05"));  // 12-byte reply
  EXPECT_FALSE(Child<TLabeledEdit>(w, "SFlashTypeLable")->isHidden());
  EXPECT_TRUE(Child<QComboBox>(w, "FlashTypeList")->isHidden());
  EXPECT_TRUE(Child<QLabel>(w, "FlashTypeLabel")->isHidden());
  EXPECT_TRUE(Child<QCheckBox>(w, "A1ChipCheck")->isHidden());
  EXPECT_TRUE(Child<TLabeledEdit>(w, "StatusEdit")->text().isEmpty());
}

TEST_F(ChipCheckTest, AmicPartIsShownWithoutTouchingTheVendor) {
  FakeBridge& bridge = AddQv40714();
  bridge.SpiReplies[0x9F] = {0x7F, 0x37, 0x20, 0x11};
  TQ71xFwTool& w = MakeWindow();
  EXPECT_EQ(Child<TLabeledEdit>(w, "SFlashTypeLable")->text(), QStringLiteral("AMIC"));
  EXPECT_EQ(w.Core().State().AmicFlashPart, 3);
  EXPECT_EQ(w.Core().State().AtmelFlashPart, -1);
  EXPECT_EQ(w.Core().State().FlashVendor, FlashVendor::Unknown);
}

TEST_F(ChipCheckTest, ParallelFlashChipOffersThePartChoiceAndA1Chip) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q712");
  (void)bridge;  // no firmware information: the fixed version text
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40712 Series"));
  EXPECT_TRUE(Child<TLabeledEdit>(w, "SFlashTypeLable")->isHidden());
  EXPECT_FALSE(Child<QComboBox>(w, "FlashTypeList")->isHidden());
  EXPECT_TRUE(Child<QComboBox>(w, "FlashTypeList")->isEnabled());
  EXPECT_FALSE(Child<QLabel>(w, "FlashTypeLabel")->isHidden());
  EXPECT_FALSE(Child<QCheckBox>(w, "A1ChipCheck")->isHidden());
  EXPECT_TRUE(Child<QCheckBox>(w, "A1ChipCheck")->isEnabled());
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(), QStringLiteral("02.00"));
}

TEST_F(ChipCheckTest, DiskKeptChipDependsOnItsConfigurationLevel) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q709");
  bridge.FwInfo = FwInfoReply("709", '1', 3, 7);
  std::vector<std::uint8_t> config(18, 0);
  config[8] = 0xD0;
  bridge.ConfigBlock = config;
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40709 Series"));
  EXPECT_EQ(w.Core().State().ConfigLevel, 0xD0);
  EXPECT_TRUE(Child<TLabeledEdit>(w, "StatusEdit")->text().isEmpty());
  EXPECT_TRUE(Child<TLabeledEdit>(w, "SFlashTypeLable")->isHidden());
  EXPECT_TRUE(Child<QComboBox>(w, "FlashTypeList")->isHidden());
  EXPECT_TRUE(Child<QCheckBox>(w, "A1ChipCheck")->isHidden());
  EXPECT_FALSE(Child<TLabeledEdit>(w, "FwVerLableEdit")->isHidden());
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(), QStringLiteral("Ver 1.02.03"));

  config[8] = 0xCF;
  bridge.ConfigBlock = config;
  w.Core().UpdateBtnCheck();
  EXPECT_EQ(w.Core().State().ConfigLevel, 0xCF);
  EXPECT_EQ(Child<TLabeledEdit>(w, "StatusEdit")->text(),
            QStringLiteral("The chip not support Firmware Update!"));
  EXPECT_TRUE(Child<TLabeledEdit>(w, "FwVerLableEdit")->isHidden());
}

TEST_F(ChipCheckTest, UnsupportedChipHidesEverythingFlashRelated) {
  FakeBridge& bridge = AddBridge(kUsbPath, "");
  TQ71xFwTool& w = MakeWindow();
  EXPECT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("Unknown Chip"));
  EXPECT_EQ(Child<TLabeledEdit>(w, "StatusEdit")->text(),
            QStringLiteral("The chip not support Firmware Update!"));
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(), QStringLiteral("00.00"));
  EXPECT_TRUE(Child<TLabeledEdit>(w, "FwVerLableEdit")->isHidden());
  EXPECT_TRUE(Child<TLabeledEdit>(w, "SFlashTypeLable")->isHidden());
  EXPECT_TRUE(Child<QComboBox>(w, "FlashTypeList")->isHidden());

  // A bridge of another family: identified by its chip-id bits, and named as a stranger.
  std::vector<std::uint8_t> foreign(16, 0x11);
  bridge.FwInfo = foreign;
  w.Core().UpdateBtnCheck();
  EXPECT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40716"));
  EXPECT_EQ(Child<TLabeledEdit>(w, "StatusEdit")->text(), QStringLiteral("Not Quvaris Chip!!"));
  EXPECT_TRUE(Child<TLabeledEdit>(w, "FwVerLableEdit")->text().isEmpty());
}

// The mismatch box lets events through; a hot-plug refresh or a dropped file handled inside it
// would start a second check on another device's facts. They wait until the check is done.
TEST_F(ChipCheckTest, EventsArrivingWhileTheCheckShowsABoxWaitForItsEnd) {
  AddQv40714();
  FakeBridge& second = AddQv40714(kSecondUsbPath);
  second.InquiryCode = "q713";
  MakeWindow();
  TempFolder folder;
  const std::string other = folder.Image("other.bin", 4, 1);
  const std::string dropped = folder.Image("dropped.bin", 1, 1);
  std::size_t commandsInBox = 0;
  std::string chipInBox;
  bool injected = false;
  dialogs.WhileBoxOpen = [&](const MessageBoxRequest&) {
    if (std::exchange(injected, true)) {
      return;
    }
    const std::size_t before = platform.Commands().size();
    window->Core().DeviceChangeMsg(kDeviceArrival);
    window->Core().TimerMsg(kHotPlugTimerId);
    window->Core().DropFilesMsg({dropped});
    commandsInBox = platform.Commands().size() - before;
    chipInBox = Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().toStdString();
  };
  window->Core().DropFilesMsg({other});
  ASSERT_TRUE(injected);
  EXPECT_EQ(commandsInBox, 0u);
  EXPECT_EQ(chipInBox, other);
  // Once the check was done: the drop and its own check, and the debounce started over.
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().toStdString(), dropped);
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_TRUE(timers->IsRunning(kHotPlugTimerId));
  EXPECT_EQ(window->Core().SelectedDeviceIndex(), 0);
}

TEST_F(ChipCheckTest, AMismatchingFileGivesOneBoxAndDisablesRunButStillFillsTheDisplay) {
  AddQv40714();
  MakeWindow();
  TempFolder folder;
  const std::string matching = folder.Image("good.bin", 1, 1);
  const std::string other = folder.Image("other.bin", 4, 1);
  window->Core().DropFilesMsg({matching});
  ASSERT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  window->Core().DropFilesMsg({other});
  EXPECT_EQ(dialogs.BoxTexts(),
            std::vector<std::string>{"The firmware file seems not match this chip!"});
  EXPECT_EQ(dialogs.Boxes().front().Caption, "Message");
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_EQ(Child<TLabeledEdit>(*window, "ChipLabelEdit")->text(),
            QStringLiteral("QV40714 Series"));
  EXPECT_EQ(Child<TLabeledEdit>(*window, "SFlashTypeLable")->text(), QStringLiteral("ATMEL"));
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwVerLableEdit")->text(), QStringLiteral("Ver 2.05"));
}

TEST_F(ChipCheckTest, TypingAPathChecksOnEveryKeystroke) {
  AddQv40714();
  MakeWindow();
  platform.ClearCommands();
  QTest::keyClicks(Child<TLabeledEdit>(*window, "FwFilenameEdit"), QStringLiteral("abc"));
  EXPECT_EQ(CommandsStartingWith({0x12}), 3);
  // Each keystroke names a file that does not exist: its open-failure box, then the mismatch.
  EXPECT_EQ(dialogs.Boxes().size(), 6u);
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(ChipCheckTest, ATypedNameOf260CharactersIsRefusedWithoutOpeningAnything) {
  AddQv40714();
  MakeWindow();
  Child<TLabeledEdit>(*window, "FwFilenameEdit")->setText(QString(260, QLatin1Char('x')));
  EXPECT_TRUE(dialogs.Boxes().empty());
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_EQ(Child<TLabeledEdit>(*window, "StatusEdit")->text(),
            QStringLiteral("Firmware file name too long!"));
  EXPECT_EQ(Child<TLabeledEdit>(*window, "ChipLabelEdit")->text(),
            QStringLiteral("QV40714 Series"));
}

TEST_F(ChipCheckTest, WithoutFileRunFollowsTheActionBoxesOrStaysAsItWas) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.FwInfo = FwInfoReply("713", '1');
  MakeWindow();
  ShowRdPanel();
  Child<QPushButton>(*window, "UpdateBtn")->setEnabled(true);
  window->Core().UpdateBtnCheck();
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());  // unchanged
  Child<QPushButton>(*window, "UpdateBtn")->setEnabled(false);
  window->Core().UpdateBtnCheck();
  EXPECT_FALSE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  Child<QPushButton>(*window, "UpdateBtn")->setEnabled(false);
  window->Core().UpdateBtnCheck();
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(ChipCheckTest, NvramBoxIsTickedAgainOnEveryCheckOfAType6Chip) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q842");
  bridge.FwInfo = FwInfoReply("842", '1');
  bridge.SpiReplies[0x9F] = {0x1F, 0x66, 0x01, 0x00};
  MakeWindow();
  ShowRdPanel();
  EXPECT_FALSE(Child<QCheckBox>(*window, "NVRAMCheck")->isHidden());
  EXPECT_TRUE(Child<QCheckBox>(*window, "NVRAMCheck")->isChecked());
  Tick(Child<QCheckBox>(*window, "NVRAMCheck"));
  ASSERT_FALSE(Child<QCheckBox>(*window, "NVRAMCheck")->isChecked());
  window->Core().UpdateBtnCheck();
  EXPECT_TRUE(Child<QCheckBox>(*window, "NVRAMCheck")->isChecked());
}

TEST_F(ChipCheckTest, FiveNumberVersionOfTheDfFamily) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q848");
  bridge.FwInfo = FwInfoReply("848", '1', 1, 2, 3, 4, 5);
  bridge.FwInfoTransferred = 12;  // the five numbers are taken whatever the length
  bridge.FlashVendor = 6;
  TQ71xFwTool& w = MakeWindow();
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(), QStringLiteral("1.02.03.04.05"));
  EXPECT_EQ(Child<TLabeledEdit>(w, "SFlashTypeLable")->text(), QStringLiteral("WINBOND"));
  EXPECT_EQ(w.Core().State().FlashVendor, FlashVendor::Winbond);
  EXPECT_EQ(w.Core().Settings().EraseBlockSize, 65536u);
  EXPECT_EQ(w.Core().Settings().EraseSectorSize, 4096u);
}

// A type-10 bridge of the late silicon (revision byte at FDB1 from B4 on).
FakeBridge& MakeLateQvn962(FakeBridge& bridge) {
  bridge.FwInfo = FwInfoReply("962", '1', 1, 2, 3, 4, 0xFF);
  bridge.Memory[0xFDB1] = 0xB4;
  return bridge;
}

TEST_F(ChipCheckTest, LateQvn962WithSmallPageMxicFlashIsToldItsOpcodes) {
  FakeBridge& bridge = MakeLateQvn962(AddBridge(kUsbPath, "q962"));
  bridge.FlashVendor = 0;
  bridge.SpiReplies[0xAB] = {0, 0, 0, 0};
  bridge.SpiReplies[0x9F] = {0xC2, 0x22, 0x11, 0x00};
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(w.Core().State().ChipRevision, 5);
  EXPECT_EQ(w.Core().State().FlashVendor, FlashVendor::Mxic);
  EXPECT_EQ(Child<TLabeledEdit>(w, "SFlashTypeLable")->text(), QStringLiteral("MXIC"));
  EXPECT_EQ(w.Core().Settings().EraseBlockSize, 65536u);
  EXPECT_EQ(w.Core().Settings().EraseSectorSize, 4096u);
  EXPECT_TRUE(HasCommand(platform, {0xFF, 0x04, 0x0F, 0xC7, 0xD8, 0x02, 0x20, 0x08}));
  // The last number FF is taken as a signed byte.
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(), QStringLiteral("1.02.03.04.-01"));
}

// Each check starts from the facts of a fresh start: nothing found of the device checked before
// reaches the next one.
TEST_F(ChipCheckTest, SstSpiFlashAndFlashVendorAreForgottenWhenAnotherDeviceIsChecked) {
  FakeBridge& late = MakeLateQvn962(AddBridge(kUsbPath, "q962"));
  late.FlashVendor = 2;
  late.SpiReplies[0x9F] = {0xBF, 0x25, 0x41, 0x00};
  AddQv40714(kSecondUsbPath);
  TQ71xFwTool& w = MakeWindow();
  ASSERT_EQ(w.Core().State().SstSpiFlash, 1u);
  ASSERT_EQ(w.Core().State().FlashVendor, FlashVendor::Sst);

  QTest::keyClick(Child<QComboBox>(w, "DeviceList"), Qt::Key_Down);
  ASSERT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40714 Series"));
  EXPECT_EQ(w.Core().State().SstSpiFlash, 0u);
  EXPECT_EQ(w.Core().State().FlashVendor, FlashVendor::Unknown);

  QTest::keyClick(Child<QComboBox>(w, "DeviceList"), Qt::Key_Up);
  EXPECT_EQ(w.Core().State().SstSpiFlash, 1u);
}

TEST_F(ChipCheckTest, EraseUnitsOfTheDeviceCheckedBeforeDoNotReachTheNext) {
  FakeBridge& late = MakeLateQvn962(AddBridge(kUsbPath, "q962"));
  late.FlashVendor = 6;  // WINBOND: 64 KB blocks
  AddQv40714(kSecondUsbPath);
  TQ71xFwTool& w = MakeWindow();
  ASSERT_EQ(w.Core().Settings().EraseBlockSize, 65536u);

  QTest::keyClick(Child<QComboBox>(w, "DeviceList"), Qt::Key_Down);
  ASSERT_EQ(Child<TLabeledEdit>(w, "ChipLabelEdit")->text(), QStringLiteral("QV40714 Series"));
  EXPECT_EQ(w.Core().Settings().EraseBlockSize, ProgramSettings{}.EraseBlockSize);
  EXPECT_EQ(w.Core().Settings().EraseSectorSize, ProgramSettings{}.EraseSectorSize);
}

TEST_F(ChipCheckTest, ToggleBitFlipsTheLastVersionNumberOfType10) {
  FakeBridge& bridge = MakeLateQvn962(AddBridge(kUsbPath, "q962"));
  bridge.FwInfo = FwInfoReply("962", '1', 1, 2, 3, 4, 6);
  bridge.Memory[0x506A] = 0x01;
  bridge.ToggleByteRefusesClear = true;
  TQ71xFwTool& w = MakeWindow();
  EXPECT_EQ(Child<TLabeledEdit>(w, "FwVerLableEdit")->text(), QStringLiteral("1.02.03.04.07"));
}

TEST_F(ChipCheckTest, Qv40713WithFlashGetsOpcodesAndSmallPages) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.ChipInfo = std::vector<std::uint8_t>{'q', '7', '1', '3', 'E', 0x01, 0, 0};
  bridge.FwInfo = FwInfoReply("713", '2');
  bridge.SpiReplies[0xAB] = {0, 0, 0, 0};
  bridge.SpiReplies[0x9F] = {0xC2, 0x22, 0x10, 0x00};
  TQ71xFwTool& w = MakeWindow();

  EXPECT_EQ(w.Core().State().ChipType, ChipType::Qv40713ESeries);
  EXPECT_EQ(w.Core().State().FlashVendor, FlashVendor::Mxic);
  EXPECT_EQ(Child<TLabeledEdit>(w, "SFlashTypeLable")->text(), QStringLiteral("MXIC"));
  EXPECT_TRUE(HasCommand(platform, {0xFF, 0x04, 0x24, 0x02, 0xC7, 0xD8, 0x02, 0x05, 0x01}));
  EXPECT_TRUE(HasCommand(platform, {0xFF, 0x04, 0x25, 0x02, 0x08}));
  // This path leaves the erase units as they were.
  EXPECT_EQ(w.Core().Settings().EraseBlockSize, 32768u);
}

class ToggleBitProbeTest : public WindowTest {
 protected:
  std::vector<std::vector<std::uint8_t>> MemoryWrites() const {
    std::vector<std::vector<std::uint8_t>> writes;
    for (const auto& c : platform.Commands()) {
      if (c.Cdb.size() == 12 && c.Cdb[0] == 0xDF && c.Cdb[11] == 0xFE) {
        writes.push_back(c.DataOut);
      }
    }
    return writes;
  }
};

TEST_F(ToggleBitProbeTest, AByteThatRefusesToClearIsReportedAndWrittenBackFlipped) {
  FakeBridge& bridge = bridges[kUsbPath];
  bridge.Memory[0x506A] = 0x01;
  bridge.ToggleByteRefusesClear = true;
  EXPECT_EQ(ToggleBitProbe(kUsbPath), 1);
  const auto writes = MemoryWrites();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0][0], 0x00);
  EXPECT_EQ(writes[1][0], 0x00);  // the saved 01 with its lowest bit flipped
}

TEST_F(ToggleBitProbeTest, AByteThatClearsIsRestored) {
  FakeBridge& bridge = bridges[kUsbPath];
  bridge.Memory[0x506A] = 0x35;
  EXPECT_EQ(ToggleBitProbe(kUsbPath), 0);
  const auto writes = MemoryWrites();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[1][0], 0x35);
  EXPECT_EQ(bridge.Memory[0x506A], 0x35);
}

TEST_F(ToggleBitProbeTest, AFailedFirstReadWritesNothingBack) {
  FakeBridge& bridge = bridges[kUsbPath];
  bridge.Memory[0x506A] = 0x35;
  bridge.ChipMemoryReadOk = false;
  EXPECT_EQ(ToggleBitProbe(kUsbPath), 0);
  EXPECT_TRUE(MemoryWrites().empty());
  EXPECT_EQ(bridge.Memory[0x506A], 0x35);
}

}  // namespace
}  // namespace q71x::testing
