// SPDX-License-Identifier: GPL-2.0-or-later
// The window over simulated enclosures, as the operator drives it: the enclosure updated and
// power-cycled from the enclosure panel comes back selected, and no other enclosure is Run
// meanwhile; a click on the greyed Run during a run is dropped, not kept for the Run enabled
// again afterwards.

#include <QMetaObject>
#include <QSignalSpy>

#include "sim/cdb_pattern.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/app/sim/enclosure_panel.h"
#include "src/device/platform/sim/sim_platform.h"
#include "tests/gui/gui_support.h"
#include "tests/support/fault_rule.h"

namespace q71x::testing {
namespace {

// Counts the presses that reach a control.
class PressCounter final : public QObject {
 public:
  int Presses = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    Presses += event->type() == QEvent::MouseButtonPress ? 1 : 0;
    return false;
  }
};

class OperatorChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    updated = sim::AddPreset(system, "qv40714-atmel", {sim::SimVolume{'E'}});
    other = sim::AddPreset(system, "qv40716-amic", {sim::SimVolume{'F'}});
    auto fake = std::make_unique<FakeWindowTimers>();
    timers = fake.get();
    window = std::make_unique<TQ71xFwTool>(std::move(fake));
  }
  void TearDown() override { window.reset(); }
  QPushButton* Button(const char* name) { return Child<QPushButton>(*window, name); }
  int Selected() { return Child<QComboBox>(*window, "DeviceList")->currentIndex(); }
  void LoadImageFor40714() {
    dialogs.QueueOpenFileAnswer(folder.Image("qv40714.bin", 1, 1));
    QTest::mouseClick(Button("LoadBtn"), Qt::LeftButton);
    ASSERT_TRUE(Button("UpdateBtn")->isEnabled());
  }
  std::size_t Erases() {
    return system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x13})) +
           system.Log().Count(sim::CdbPattern::Prefix({0xFF, 0x04, 0x14}));
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  RecordingDialogs dialogs;
  TempFolder folder;
  sim::Enclosure* updated = nullptr;
  sim::Enclosure* other = nullptr;
  FakeWindowTimers* timers = nullptr;
  std::unique_ptr<TQ71xFwTool> window;
};

TEST_F(OperatorChoiceTest, ThePowerCycledEnclosureComesBackSelectedAndNoOtherIsRunMeanwhile) {
  EnclosurePanel panel(system);
  const QList<QCheckBox*> boxes = panel.findChildren<QCheckBox*>();
  ASSERT_EQ(boxes.size(), 2);
  LoadImageFor40714();
  QTest::mouseClick(Button("UpdateBtn"), Qt::LeftButton);
  ASSERT_EQ(window->Core().LastResult(), 1);
  const std::vector<std::uint8_t> otherFlash = other->Bridge.Flash->Contents();

  // The power cycle the update asks for, from the panel.
  QTest::mouseClick(boxes[0], Qt::LeftButton);
  QCoreApplication::processEvents();
  timers->Advance(60000);
  ASSERT_EQ(window->Core().DeviceCount(), 1);
  EXPECT_FALSE(Button("UpdateBtn")->isEnabled())
      << "the image named for the QV40714 bridge would go into the QV40716 one";
  QTest::mouseClick(boxes[0], Qt::LeftButton);
  QCoreApplication::processEvents();
  timers->Advance(60000);
  ASSERT_EQ(window->Core().DeviceCount(), 2);
  EXPECT_EQ(Selected(), 0);
  EXPECT_TRUE(Button("UpdateBtn")->isEnabled());

  // Away again, the one bridge left is the operator's once chosen from the list, though it is
  // the item already shown; it stays selected when the other comes back.
  QTest::mouseClick(boxes[0], Qt::LeftButton);
  QCoreApplication::processEvents();
  timers->Advance(60000);
  ASSERT_FALSE(Button("UpdateBtn")->isEnabled());
  auto* list = Child<QComboBox>(*window, "DeviceList");
  emit list->activated(0);
  EXPECT_TRUE(Button("UpdateBtn")->isEnabled());
  QTest::mouseClick(boxes[0], Qt::LeftButton);
  QCoreApplication::processEvents();
  timers->Advance(60000);
  EXPECT_EQ(Selected(), 1);
  EXPECT_EQ(other->Bridge.Flash->Contents(), otherFlash);
}

// A run that fails on its first erase ends with a status text and no box, so nothing between the
// run and the operator's queue: a click given meanwhile would start a second erase and program.
TEST_F(OperatorChoiceTest, AClickOnTheGreyedRunDuringARunIsDropped) {
  LoadImageFor40714();
  system.Faults().Arm(
      FaultRuleFor(sim::CdbPattern::Prefix({0xFF, 0x04, 0x13}), 1, sim::FaultKind::Fail));
  system.Faults().Arm(
      FaultRuleFor(sim::CdbPattern::Prefix({0xFF, 0x04, 0x14}), 1, sim::FaultKind::Fail));
  PressCounter pressesOnRun;
  Button("UpdateBtn")->installEventFilter(&pressesOnRun);
  QSignalSpy runs(window.get(), &TQ71xFwTool::ProcedureFinished);
  bool clickedDuringRun = false;
  QMetaObject::invokeMethod(
      window.get(),
      [&] {
        clickedDuringRun = window->Core().ProcedureRunning();
        QTest::mouseClick(Button("UpdateBtn"), Qt::LeftButton);
      },
      Qt::QueuedConnection);
  const std::size_t boxesBefore = dialogs.Boxes().size();

  QTest::mouseClick(Button("UpdateBtn"), Qt::LeftButton);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();

  ASSERT_TRUE(clickedDuringRun);
  EXPECT_EQ(dialogs.Boxes().size(), boxesBefore);
  EXPECT_EQ(window->Core().LastResult(), 0);
  EXPECT_EQ(runs.count(), 1);
  EXPECT_EQ(Erases(), 1u);
  EXPECT_EQ(pressesOnRun.Presses, 1) << "only the click that started the run reached Run";
  EXPECT_TRUE(Button("UpdateBtn")->isEnabled());
}

}  // namespace
}  // namespace q71x::testing
