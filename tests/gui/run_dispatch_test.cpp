// SPDX-License-Identifier: GPL-2.0-or-later
// The Run button: which procedure it starts, when it does nothing, and what waits while a
// procedure runs.

#include <QLineEdit>

#include "src/update/procedure_dispatch.h"
#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

struct DispatchCase {
  q71x::ChipType ChipType;
  std::uint8_t Revision;
  q71x::FlashVendor FlashVendor;
  std::uint32_t SstSpiFlash;
  std::int32_t ConfigLevel;
  const char* Path;
  bool ModeFlag;
  UpdateProcedure Expected;
};

class ChooseUpdateProcedureTest : public ::testing::TestWithParam<DispatchCase> {
 protected:
  HotPlugPlatform platform;
  ScopedActivePlatform usePlatform{platform};
  FakeBridges bridges;
};

TEST_P(ChooseUpdateProcedureTest, PicksTheProcedureOfTheChip) {
  const DispatchCase& c = GetParam();
  bridges.Attach(platform);
  bridges[c.Path].ModeFlag = c.ModeFlag;
  DispatchFacts facts;
  facts.ChipType = c.ChipType;
  facts.ChipRevision = c.Revision;
  facts.FlashVendor = c.FlashVendor;
  facts.SstSpiFlash = c.SstSpiFlash;
  facts.ConfigLevel = c.ConfigLevel;
  facts.DevicePath = c.Path;
  EXPECT_EQ(UpdateProcedureName(ChooseUpdateProcedure(facts)), UpdateProcedureName(c.Expected));
  // The mode flag is asked of type-10 bridges only, and always.
  const bool askedModeFlag =
      std::any_of(platform.Commands().begin(), platform.Commands().end(), [](auto& cmd) {
        return cmd.Cdb.size() == 12 && cmd.Cdb[0] == 0xDF && cmd.Cdb[6] == 0x50 &&
               cmd.Cdb[7] == 0x5E && cmd.Cdb[11] == 0xFD;
      });
  EXPECT_EQ(askedModeFlag, c.ChipType == ChipType::Qvn962Series);
}

using P = UpdateProcedure;
using C = ChipType;
using V = FlashVendor;
INSTANTIATE_TEST_SUITE_P(
    ChipTypes, ChooseUpdateProcedureTest,
    ::testing::Values(
        DispatchCase{C::Qv40714Series, 1, V::Atmel, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
        DispatchCase{C::Qv40716Series, 0, V::Unknown, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
        DispatchCase{C::Qv40713Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
        DispatchCase{C::Qvk926Series, 3, V::Winbond, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
        DispatchCase{C::Qv40713ESeries, 2, V::Mxic, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
        DispatchCase{C::Qv40713ESeries, 2, V::Unknown, 0, 0, kUsbPath, false,
                     P::UpdateDiskFirmware},
        DispatchCase{C::Qvk842Series, 1, V::Unknown, 0, 0, kUsbPath, false,
                     P::UpdateFlashWithNvram},
        DispatchCase{C::Qvk846Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateSerialFlash},
        DispatchCase{C::Qvk846Series, 1, V::Unknown, 0, 0, k1394Path, false, P::UpdateDf2Flash},
        DispatchCase{C::Qvk848Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
        DispatchCase{C::Qvk844Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
        DispatchCase{C::Qvn958Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
        DispatchCase{C::Qvn962Series, 3, V::Unknown, 0, 0, kUsbPath, false,
                     P::UpdateFlashWithNvram},
        DispatchCase{C::Qvn962Series, 3, V::Unknown, 0, 0, kUsbPath, true, P::UpdateDfFlash},
        DispatchCase{C::Qvn962Series, 5, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDfFlash},
        DispatchCase{C::Qvn962Series, 5, V::Sst, 1, 0, kUsbPath, false, P::UpdateSerialFlashSpi},
        DispatchCase{C::Qv40712Series, 0, V::Unknown, 0, 0, kUsbPath, false,
                     P::UpdateParallelFlash},
        DispatchCase{C::Qv40712, 0, V::Unknown, 0, 0, kUsbPath, false, P::UpdateParallelFlash},
        DispatchCase{C::Qvk924Series, 1, V::Unknown, 0, 0, kUsbPath, false, P::UpdateDiskFirmware},
        DispatchCase{C::Qv40709Series, 1, V::Unknown, 0, 0xD0, kUsbPath, false,
                     P::UpdateDiskFirmware},
        DispatchCase{C::Qv40709Series, 1, V::Unknown, 0, 0xCF, kUsbPath, false, P::None},
        DispatchCase{C::Unknown, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
        DispatchCase{C::Qv40716, 0, V::Unknown, 0, 0, kUsbPath, false, P::None},
        DispatchCase{C::Qv40714, 0, V::Unknown, 0, 0, kUsbPath, false, P::None}));

using RunButtonTest = WindowTest;

bool RunWasPressed(const ScriptedPlatform& platform) {
  const auto& lines = platform.DebugLines();
  return std::find(lines.begin(), lines.end(), "Update Btn Press\n") != lines.end();
}

TEST_F(RunButtonTest, RunWithoutDeviceDoesNothing) {
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  ASSERT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  platform.ClearCommands();
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);
  EXPECT_FALSE(RunWasPressed(platform));
  EXPECT_TRUE(platform.Commands().empty());
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

TEST_F(RunButtonTest, RunWithATypedDeviceListTextDoesNothing) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  Child<QComboBox>(*window, "DeviceList")->lineEdit()->selectAll();
  QTest::keyClicks(Child<QComboBox>(*window, "DeviceList")->lineEdit(), QStringLiteral("gone"));
  platform.ClearCommands();
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);
  EXPECT_FALSE(RunWasPressed(platform));
  EXPECT_TRUE(platform.Commands().empty());
}

TEST_F(RunButtonTest, AChipWithoutProcedureOnlyClearsTheStatus) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q709");
  std::vector<std::uint8_t> config(18, 0);
  config[8] = 0xCF;
  bridge.ConfigBlock = config;
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "BackupFWCheckBox"));
  ASSERT_FALSE(Child<TLabeledEdit>(*window, "StatusEdit")->text().isEmpty());
  platform.ClearCommands();

  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);
  EXPECT_TRUE(RunWasPressed(platform));
  EXPECT_TRUE(Child<TLabeledEdit>(*window, "StatusEdit")->text().isEmpty());
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  EXPECT_TRUE(platform.Commands().empty());
}

TEST_F(RunButtonTest, AType14WhoseFirstFlashProbeFailsGoesToTheDiskProcedure) {
  FakeBridge& bridge = AddBridge(kUsbPath, "q713");
  bridge.ChipInfo = std::vector<std::uint8_t>{'q', '7', '1', '3', 'E', 0x01, 0, 0};
  bridge.FwInfo = FwInfoReply("713", '2');
  MakeWindow();
  ASSERT_EQ(window->Core().State().ChipType, ChipType::Qv40713ESeries);
  EXPECT_EQ(window->Core().State().FlashVendor, FlashVendor::Unknown);
  EXPECT_EQ(Child<TLabeledEdit>(*window, "SFlashTypeLable")->text(), QStringLiteral("Unknown"));
  DispatchFacts facts;
  facts.ChipType = window->Core().State().ChipType;
  facts.FlashVendor = window->Core().State().FlashVendor;
  facts.DevicePath = window->Core().Devices()[0].DevicePath;
  EXPECT_EQ(ChooseUpdateProcedure(facts), UpdateProcedure::UpdateDiskFirmware);
}

// The backup name is looked at only by a run that writes a backup (the procedures refuse a long
// one there); an ordinary update goes on whatever the hidden engineering field holds.
TEST_F(RunButtonTest, ABackupNameOf260CharactersDoesNotStopAnOrdinaryUpdate) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Child<TLabeledEdit>(*window, "BackupFileEdit")->setText(QString(260, QLatin1Char('b')));
  Tick(Child<QCheckBox>(*window, "RdCheckBox"));  // the panel with the long name is hidden
  TempFolder folder;
  const std::string image = folder.Image("fw.bin", 1, 1);
  Child<TLabeledEdit>(*window, "FwFilenameEdit")->setText(QString::fromStdString(image));
  ASSERT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
  platform.ClearCommands();
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);
  EXPECT_TRUE(RunWasPressed(platform));
  EXPECT_NE(Child<TLabeledEdit>(*window, "StatusEdit")->text(),
            QStringLiteral("Backup file name too long!"));
  EXPECT_GT(platform.Commands().size(), 0u);
}

TEST_F(RunButtonTest, EventsArrivingDuringAProcedureWaitUntilItReturns) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  ASSERT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  bool injected = false;
  bool runDisabledMeanwhile = false;
  std::size_t commandsWhenInjected = 0;
  bridges.BeforeAnswer = [&](const RecordedCommand&) {
    if (injected || !RunWasPressed(platform)) {
      return;
    }
    injected = true;
    runDisabledMeanwhile = !Child<QPushButton>(*window, "UpdateBtn")->isEnabled();
    commandsWhenInjected = platform.Commands().size();
    window->Core().TimerMsg(kHotPlugTimerId);
    window->Core().DeviceChangeMsg(kDeviceArrival);
    window->Core().DropFilesMsg({"/dropped.bin"});
    EXPECT_FALSE(timers->IsRunning(kHotPlugTimerId));
    EXPECT_TRUE(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text().isEmpty());
    // Nothing else was sent in between: no refresh, no chip check.
    EXPECT_EQ(platform.Commands().size(), commandsWhenInjected);
  };
  const int opensBefore = CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55});
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);
  bridges.BeforeAnswer = nullptr;

  ASSERT_TRUE(injected);
  EXPECT_TRUE(runDisabledMeanwhile);
  // Handled once Run was back: the drop with its chip check, and the device change restarting
  // the debounce, whose end is the one refresh the timer and the change asked for.
  EXPECT_EQ(Child<TLabeledEdit>(*window, "FwFilenameEdit")->text(), QStringLiteral("/dropped.bin"));
  EXPECT_TRUE(timers->IsRunning(kHotPlugTimerId));
  EXPECT_EQ(timers->Sets().back().DelayMs, 1200);
  EXPECT_EQ(CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55}), opensBefore);
  timers->Advance(5000);
  EXPECT_EQ(CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55}), opensBefore + 1);
}

// A hot-plug timer already running when Run is pressed fires again and again while the
// procedure runs (window timers repeat until killed); however often it fires, one refresh
// follows, and the timer does not go on firing.
TEST_F(RunButtonTest, ATimerFiringThroughoutAProcedureGivesOneRefresh) {
  AddQv40714();
  MakeWindow();
  window->show();
  ShowRdPanel();
  Tick(Child<QCheckBox>(*window, "EraseOnlyCheck"));
  window->Core().DeviceChangeMsg(kDevNodesChanged);
  ASSERT_TRUE(timers->IsRunning(kHotPlugTimerId));

  int firingsDuringRun = 0;
  bridges.BeforeAnswer = [&](const RecordedCommand&) {
    if (RunWasPressed(platform) && window->Core().ProcedureRunning()) {
      const std::uint64_t before = timers->NowMs();
      timers->Advance(250);  // more than the 200 ms delay: the timer really fires
      firingsDuringRun += timers->NowMs() > before ? 1 : 0;
    }
  };
  const int opensBefore = CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55});
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);
  bridges.BeforeAnswer = nullptr;
  ASSERT_GT(firingsDuringRun, 10);

  EXPECT_EQ(CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55}), opensBefore + 1);
  EXPECT_FALSE(timers->IsRunning(kHotPlugTimerId));
  timers->Advance(10000);
  EXPECT_EQ(CommandsStartingWith({0xFF, 0x04, 0x51, 0x56, 0x55}), opensBefore + 1);
}

}  // namespace
}  // namespace q71x::testing
