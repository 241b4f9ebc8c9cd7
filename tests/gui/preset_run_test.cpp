// SPDX-License-Identifier: GPL-2.0-or-later
// Run on every chip family of the simulator executable: the window reaches each family's
// procedure, and the family's sample image goes through to the end.

#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/simhost/sample_images.h"
#include "tests/gui/gui_support.h"

namespace q71x::testing {
namespace {

std::vector<std::string> AllPresetKeys() {
  std::vector<std::string> keys;
  for (const auto& preset : sim::SerialFlashPresets()) {
    keys.push_back(preset.Key);
  }
  for (const auto& preset : sim::HardwarePresets()) {
    keys.push_back(preset.Key);
  }
  return keys;
}

class PresetRunTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { EnsureQtApplication(); }
  void TearDown() override { window.reset(); }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform usePlatform{platform};
  RecordingDialogs dialogs;
  TempFolder folder;
  std::unique_ptr<TQ71xFwTool> window;
};

TEST_P(PresetRunTest, TheSampleImageIsProgrammedThroughTheWindow) {
  const std::string& key = GetParam();
  std::vector<sim::SimVolume> volumes = {sim::SimVolume{'E'}};
  const sim::HardwarePreset* hardware = sim::FindHardwarePreset(key);
  if (hardware != nullptr) {
    ASSERT_NE(sim::AddHardwarePreset(system, key, volumes), nullptr);
  } else {
    ASSERT_NE(sim::AddPreset(system, key, volumes), nullptr);
  }
  ASSERT_TRUE(WritePresetSampleImages(folder.Path()).empty());
  window = std::make_unique<TQ71xFwTool>(std::make_unique<FakeWindowTimers>());
  ASSERT_EQ(window->Core().DeviceCount(), 1);
  if (hardware != nullptr && hardware->ParallelPart >= 0) {
    Child<QComboBox>(*window, "FlashTypeList")->setCurrentIndex(hardware->ParallelPart);
  }
  if (hardware != nullptr && hardware->A1Chip) {
    Child<QCheckBox>(*window, "A1ChipCheck")->setChecked(true);
  }

  dialogs.QueueOpenFileAnswer(folder.File(key + ".bin"));
  QTest::mouseClick(Child<QPushButton>(*window, "LoadBtn"), Qt::LeftButton);
  if (window->Core().State().ChipType == ChipType::Qvk924Series) {
    // No file ever matches this chip: the check warns, and Load File enables Run regardless.
    EXPECT_EQ(dialogs.BoxTexts(),
              std::vector<std::string>{"The firmware file seems not match this chip!"});
  } else {
    ASSERT_TRUE(dialogs.Boxes().empty()) << dialogs.Boxes().front().Text;
  }
  const std::size_t boxesBeforeRun = dialogs.Boxes().size();
  QTest::mouseClick(Child<QPushButton>(*window, "UpdateBtn"), Qt::LeftButton);

  const std::vector<std::string> boxes = dialogs.BoxTexts();
  ASSERT_GT(boxes.size(), boxesBeforeRun)
      << Child<TLabeledEdit>(*window, "StatusEdit")->text().toStdString();
  EXPECT_EQ(boxes.back().rfind("Please Turn-Off the Power and Turn-On Again", 0), 0u)
      << boxes.back();
  EXPECT_TRUE(
      Child<TLabeledEdit>(*window, "StatusEdit")->text().contains(QStringLiteral("Success")))
      << Child<TLabeledEdit>(*window, "StatusEdit")->text().toStdString();
  EXPECT_TRUE(Child<QPushButton>(*window, "UpdateBtn")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(DemoMachine, PresetRunTest, ::testing::ValuesIn(AllPresetKeys()),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace q71x::testing
