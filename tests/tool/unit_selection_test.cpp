// SPDX-License-Identifier: GPL-2.0-or-later
// The device list follows the enclosure the operator chose, not a position in the list: after the
// power cycle an update asks for, the updated enclosure comes back selected; while it is away the
// list shows its first item, and that selection, which nobody made, never lets Run go.

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "sim/presets.h"
#include "sim/quiet_stdout.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/tool/tool_core.h"
#include "tests/support/fake_window_timers.h"
#include "tests/tool/simulated_desk.h"

namespace q71x::testing {
namespace {

class UnitSelectionTest : public ::testing::Test, protected SimulatedDesk {
 protected:
  void StartCore() {
    auto fake = std::make_unique<FakeWindowTimers>();
    timers = fake.get();
    core = std::make_unique<ToolCore>(view, std::move(fake), folder.File(""));
    core->Start();
  }
  // A change the platform reports reaches the core through the window's queue and the debounce.
  void PowerCycle(const std::string& path, bool plugged) {
    ASSERT_TRUE(plugged ? system.Plug(path) : system.Unplug(path));
    view.RunPosted();
    timers->Advance(kArrivalDelayMs);
  }
  std::string SelectedPath() const {
    const int selected = core->SelectedDeviceIndex();
    return selected < 0 ? std::string()
                        : core->Devices()[static_cast<std::size_t>(selected)].DevicePath;
  }
  bool RunEnabled() const { return core->Controls(Control::UpdateBtn).Enabled; }
  sim::Enclosure& AddNamed(const char* key, const std::string& name) {
    std::optional<sim::Enclosure> enclosure = sim::MakePresetEnclosure(key);
    EXPECT_TRUE(enclosure.has_value()) << key;
    enclosure->Path = sim::MakeEnclosurePath(enclosure->BusKind, enclosure->Kind, name);
    return system.AddEnclosure(std::move(*enclosure));
  }

  FakeWindowTimers* timers = nullptr;
  std::unique_ptr<ToolCore> core;
};

// Two bridges on the desk, the first updated; the power cycle the update asks for takes it away
// and brings it back.
TEST_F(UnitSelectionTest, TheUpdatedEnclosureComesBackSelectedAndNoOtherIsRunMeanwhile) {
  sim::Enclosure* updated = sim::AddPreset(system, "qv40714-atmel");
  sim::Enclosure* other = sim::AddPreset(system, "qv40716-amic");
  ASSERT_NE(updated, nullptr);
  ASSERT_NE(other, nullptr);
  StartCore();
  dialogs.QueueOpenFileAnswer(folder.Image("qv40714.bin", 1, 1));
  core->LoadBtnClick();
  ASSERT_TRUE(RunEnabled());
  {
    sim::QuietStdout quiet;
    core->UpdateBtnClick();
  }
  ASSERT_EQ(core->LastResult(), 1);
  const std::vector<std::uint8_t> otherFlash = other->Bridge.Flash->Contents();

  PowerCycle(updated->Path, false);
  ASSERT_EQ(core->DeviceCount(), 1);
  EXPECT_EQ(SelectedPath(), other->Path);
  EXPECT_FALSE(RunEnabled()) << "the image named for the updated bridge would go into the other";
  // Nothing the operator does short of choosing lets Run go.
  core->TickChanged(Control::RdCheckBox, true);
  core->TickChanged(Control::EraseOnlyCheck, true);
  EXPECT_FALSE(RunEnabled());
  core->TickChanged(Control::EraseOnlyCheck, false);
  system.Log().Clear();
  core->UpdateBtnClick();
  EXPECT_TRUE(system.Log().Entries().empty());

  PowerCycle(updated->Path, true);
  ASSERT_EQ(core->DeviceCount(), 2);
  EXPECT_EQ(SelectedPath(), updated->Path);
  EXPECT_TRUE(RunEnabled());
  EXPECT_EQ(other->Bridge.Flash->Contents(), otherFlash);
}

// Two enclosures of one model: the system lists them in another order after a re-plug, each on
// the path the other had. The USB serial tells them apart where the path cannot.
TEST_F(UnitSelectionTest, TheSerialNumberFindsTheChosenEnclosureOnAnotherPath) {
  sim::Enclosure& first = AddNamed("qv40714-atmel", "first");
  sim::Enclosure& second = AddNamed("qv40714-atmel", "second");
  first.UsbSerial = "QV0000A17";
  second.UsbSerial = "QV0000B42";
  StartCore();
  ASSERT_EQ(core->DeviceCount(), 2);
  core->DeviceListChanged(1);
  dialogs.QueueOpenFileAnswer(folder.Image("qv40714.bin", 1, 1));
  core->LoadBtnClick();
  ASSERT_TRUE(RunEnabled());

  // The enclosures trade places: each now answers on the other's path.
  std::swap(first.UsbSerial, second.UsbSerial);
  std::swap(first.Bridge, second.Bridge);
  core->RefreshBtnClick();
  EXPECT_EQ(SelectedPath(), first.Path);
  EXPECT_TRUE(RunEnabled());

  // Gone, it is not mistaken for the one left on its former path.
  ASSERT_TRUE(system.Unplug(first.Path));
  core->RefreshBtnClick();
  EXPECT_EQ(SelectedPath(), second.Path);
  EXPECT_FALSE(RunEnabled());
}

}  // namespace
}  // namespace q71x::testing
