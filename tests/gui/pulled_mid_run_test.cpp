// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator at the operator's pace, with an enclosure pulled from the enclosure panel in the
// middle of a run: the click gets through while the tool's window waits, the run fails as it
// would with the cable pulled, the list follows once the run has returned, and plugging the
// enclosure back brings it with the flash it had when it was pulled, ready for another run.

#include <QMetaObject>

#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/app/sim/enclosure_panel.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/device/platform/sim/wall_clock_pacing.h"
#include "src/tool/tool_texts.h"
#include "tests/gui/gui_support.h"
#include "tests/support/fake_wall_clock.h"
#include "tests/support/file_bytes.h"

namespace q71x::testing {
namespace {

constexpr std::uint64_t kMs = 1000;

class PulledMidRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    enclosure = sim::AddPreset(system, "qv40714-atmel", {sim::SimVolume{'E'}});
    auto fake = std::make_unique<FakeWindowTimers>();
    timers = fake.get();
    window = std::make_unique<TQ71xFwTool>(std::move(fake));
    panel = std::make_unique<EnclosurePanel>(system);
    window->LetInputThroughWhileBusy(panel.get());
    platform.SetPacing(&pacing);
  }
  void TearDown() override {
    panel.reset();
    window.reset();
  }
  std::vector<std::uint8_t> Flash() const { return enclosure->Bridge.Flash->Contents(); }
  QPushButton* Button(const char* name) { return Child<QPushButton>(*window, name); }
  QString Status() { return Child<TLabeledEdit>(*window, "StatusEdit")->text(); }
  // Device-change delays started since `from`: each is one refresh once it has run out.
  std::size_t HotPlugDelaysSince(std::size_t from) const {
    return static_cast<std::size_t>(std::count_if(
        timers->Sets().begin() + static_cast<std::ptrdiff_t>(from), timers->Sets().end(),
        [](const auto& set) { return set.TimerId == kHotPlugTimerId; }));
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  FakeWallClock wall;
  WallClockPacing pacing{1, wall};
  RecordingDialogs dialogs;
  TempFolder folder;
  sim::Enclosure* enclosure = nullptr;
  FakeWindowTimers* timers = nullptr;
  std::unique_ptr<TQ71xFwTool> window;
  std::unique_ptr<EnclosurePanel> panel;
};

TEST_F(PulledMidRunTest, UntickingTheEnclosureDuringARunPullsItThereAndThen) {
  ASSERT_EQ(window->Core().DeviceCount(), 1);
  auto* box = panel->findChild<QCheckBox*>();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(box->isChecked());
  const std::string image = folder.Image("qv40714.bin", 1, 1);
  dialogs.QueueOpenFileAnswer(image);
  QTest::mouseClick(Button("LoadBtn"), Qt::LeftButton);
  ASSERT_TRUE(Button("UpdateBtn")->isEnabled());
  const std::size_t fileRequestsBefore = dialogs.FileRequests().size();
  const std::size_t delaysBefore = timers->Sets().size();

  // Once the erase is done and the programming is under way, the operator unticks the
  // enclosure, then clicks Load File in the tool's window. Both clicks come through the
  // pacing's pump, as the window's queue would deliver them while a command waits.
  const std::vector<std::uint8_t> written = ReadFileBytes(image);
  auto programming = [&] {
    const std::vector<std::uint8_t> flash = Flash();
    return flash[0] != 0xFF && !std::equal(written.begin(), written.end(), flash.begin());
  };
  bool erased = false;
  std::uint64_t pulledAtUs = 0;
  std::vector<std::uint8_t> flashAtPull;
  const PacingPumpScope pump(pacing, [&] {
    erased = erased || Flash()[0] == 0xFF;
    if (pulledAtUs == 0 && erased && programming()) {
      pulledAtUs = wall.NowUs();
      QMetaObject::invokeMethod(
          panel.get(),
          [&] {
            QTest::mouseClick(box, Qt::LeftButton);
            flashAtPull = Flash();
            QTest::mouseClick(Button("LoadBtn"), Qt::LeftButton);
          },
          Qt::QueuedConnection);
    }
    window->Core().ProcessEventsDuringWait();
  });
  QTest::mouseClick(Button("UpdateBtn"), Qt::LeftButton);
  const std::uint64_t runEndUs = wall.NowUs();

  ASSERT_NE(pulledAtUs, 0u) << "the run was over before the pull";
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(enclosure->Plugged);
  // Pulled half-way through programming: nothing reached the flash once it was gone.
  ASSERT_GE(flashAtPull.size(), written.size());
  EXPECT_NE(flashAtPull[0], 0xFF);
  EXPECT_FALSE(std::equal(written.begin(), written.end(), flashAtPull.begin()));
  EXPECT_EQ(Flash(), flashAtPull);
  // It fails as a pulled enclosure makes it fail: no success, no power-cycle request.
  EXPECT_FALSE(Status().contains(QStringLiteral("Success"))) << Status().toStdString();
  for (const std::string& text : dialogs.BoxTexts()) {
    EXPECT_EQ(text.find("Turn-Off the Power"), std::string::npos) << text;
  }
  EXPECT_LT(runEndUs - pulledAtUs, 10'000 * kMs);
  // The tool's own window took no click while it ran.
  EXPECT_EQ(dialogs.FileRequests().size(), fileRequestsBefore);
  EXPECT_TRUE(Button("UpdateBtn")->isEnabled());

  // The removal waited for the end of the run: one refresh now, and the list is empty.
  EXPECT_EQ(window->Core().DeviceCount(), 1);
  EXPECT_EQ(HotPlugDelaysSince(delaysBefore), 1u);
  timers->Advance(60000);
  EXPECT_EQ(HotPlugDelaysSince(delaysBefore), 1u);
  EXPECT_EQ(window->Core().DeviceCount(), 0);
  EXPECT_EQ(Child<QComboBox>(*window, "DeviceList")->currentText().toStdString(), kNoDeviceItem);

  // Ticked again it is back, with the flash it was pulled with.
  const std::size_t delaysBeforePlug = timers->Sets().size();
  QTest::mouseClick(box, Qt::LeftButton);
  EXPECT_TRUE(enclosure->Plugged);
  QCoreApplication::processEvents();
  timers->Advance(60000);
  EXPECT_EQ(HotPlugDelaysSince(delaysBeforePlug), 1u);
  ASSERT_EQ(window->Core().DeviceCount(), 1);
  EXPECT_EQ(window->Core().Devices()[0].DevicePath, enclosure->Path);
  EXPECT_EQ(Flash(), flashAtPull);
  // And the update runs again, to the end this time.
  dialogs.QueueOpenFileAnswer(image);
  QTest::mouseClick(Button("LoadBtn"), Qt::LeftButton);
  ASSERT_TRUE(Button("UpdateBtn")->isEnabled());
  QTest::mouseClick(Button("UpdateBtn"), Qt::LeftButton);
  EXPECT_EQ(Status(), QStringLiteral("Programming Success!!"));
  EXPECT_TRUE(std::equal(written.begin(), written.end(), Flash().begin()));
}

}  // namespace
}  // namespace q71x::testing
