// SPDX-License-Identifier: GPL-2.0-or-later
// One whole update through the window over a simulated enclosure: plug-in, Load File, Run, and
// the simulated flash afterwards.

#include <fstream>
#include <iterator>

#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "tests/gui/gui_support.h"
#include "tests/support/file_bytes.h"

namespace q71x::testing {
namespace {

class FullRunTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureQtApplication(); }
  void TearDown() override { window.reset(); }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  RecordingDialogs dialogs;
  TempFolder folder;
  FakeWindowTimers* timers = nullptr;
  std::unique_ptr<TQ71xFwTool> window;

  void MakeWindow() {
    auto fake = std::make_unique<FakeWindowTimers>();
    timers = fake.get();
    window = std::make_unique<TQ71xFwTool>(std::move(fake));
  }
};

TEST_F(FullRunTest, PlugLoadRunProgramsTheSimulatedFlash) {
  MakeWindow();
  ASSERT_EQ(window->Core().DeviceCount(), 0);

  sim::Enclosure* enclosure = sim::AddPreset(system, "qv40714-atmel", {sim::SimVolume{'E'}});
  ASSERT_NE(enclosure, nullptr);
  const std::string path = enclosure->Path;
  system.Unplug(path);
  system.Plug(path);
  QCoreApplication::processEvents();
  timers->Advance(1200);
  ASSERT_EQ(window->Core().DeviceCount(), 1);
  EXPECT_EQ(Child<TLabeledEdit>(*window, "ChipLabelEdit")->text(),
            QStringLiteral("QV40714 Series"));
  EXPECT_EQ(Child<TLabeledEdit>(*window, "SFlashTypeLable")->text(), QStringLiteral("ATMEL"));
  EXPECT_EQ(Child<TLabeledEdit>(*window, "DiskLetterLable")->text(), QStringLiteral("E"));

  const std::string image = folder.Image("qv40714.bin", 1, 1);
  dialogs.QueueOpenFileAnswer(image);
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  ASSERT_TRUE(dialogs.Boxes().empty()) << dialogs.Boxes().front().Text;
  ASSERT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  const std::vector<std::uint8_t> configBefore(
      system.FindPlugged(path)->Bridge.Flash->Contents().begin() + 0x8000,
      system.FindPlugged(path)->Bridge.Flash->Contents().begin() + 0x8200);
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);

  EXPECT_EQ(Child<TLabeledEdit>(*window, "StatusEdit")->text(),
            QStringLiteral("Programming Success!!"));
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].Text, "Please Turn-Off the Power and Turn-On Again !");
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());

  const std::vector<std::uint8_t> written = ReadFileBytes(image);
  const auto& flash = system.FindPlugged(path)->Bridge.Flash->Contents();
  ASSERT_GE(flash.size(), written.size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), flash.begin()));
  // The configuration copy behind an image of at most 32 KB is kept.
  EXPECT_TRUE(std::equal(configBefore.begin(), configBefore.end(), flash.begin() + 0x8000));
}

}  // namespace
}  // namespace q71x::testing
