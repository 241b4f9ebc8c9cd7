// SPDX-License-Identifier: GPL-2.0-or-later
// The tool core with no toolkit: every campaign device listed, checked and run through Run's own
// dispatch, its memory judged afterwards; the hot-plug debounce; and the refusals the core makes
// before anything is sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <utility>

#include "sim/fault_injector.h"
#include "sim/presets.h"
#include "sim/quiet_stdout.h"
#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/image/sample_image.h"
#include "src/tool/run_caption.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/device_memory.h"
#include "tests/campaign/intended_outcome.h"
#include "tests/campaign/run_judgement.h"
#include "tests/support/fake_window_timers.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/simulated_desk.h"

namespace q71x::testing {
namespace {

using campaign::CampaignDevice;

class ToolCoreTest : public ::testing::Test, protected SimulatedDesk {
 protected:
  ToolCore& StartCore() {
    auto fake = std::make_unique<FakeWindowTimers>();
    timers = fake.get();
    core = std::make_unique<ToolCore>(view, std::move(fake), folder.File(""));
    core->Start();
    return *core;
  }
  int Refreshes() const { return view.ListRebuilds; }
  std::string Add(const char* key) {
    const CampaignDevice* device = campaign::FindCampaignDevice(key);
    EXPECT_NE(device, nullptr) << key;
    return device != nullptr ? campaign::AddCampaignDevice(system, *device) : std::string();
  }

  FakeWindowTimers* timers = nullptr;
  std::unique_ptr<ToolCore> core;
};

std::vector<std::uint8_t> WriteImage(const std::string& path, const CampaignDevice& device,
                                     const ChipState& chip) {
  SampleImageOptions options;
  options.ChipType = chip.ChipType;
  options.ChipRevision = chip.ChipRevision;
  options.Size = device.ImageBytes;
  options.NvramBlock = device.ImageHasNvram;
  options.Seed = 41;
  std::vector<std::uint8_t> bytes = BuildSampleImage(options);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// Each device as an operator meets it: listed, checked, its image loaded, Run pressed. The run
// must go where the campaign's table says, claim success and leave what the image means.
TEST_F(ToolCoreTest, EveryDeviceIsUpdatedThroughTheProcedureItsChipCallsFor) {
  for (const CampaignDevice& device : campaign::CampaignDevices()) {
    SCOPED_TRACE(device.Key);
    sim::SimulatedSystem machine;
    SimPlatform devicePlatform(machine);
    ScopedActivePlatform useDevice(devicePlatform);
    const std::string path = campaign::AddCampaignDevice(machine, device);
    RecordingView deviceView;
    ToolCore tool(deviceView, std::make_unique<FakeWindowTimers>(), folder.File(""));
    tool.Start();
    ASSERT_EQ(tool.DeviceCount(), 1);
    ASSERT_EQ(tool.Devices()[0].DevicePath, path);

    const std::string imageFile = folder.File(std::string(device.Key) + ".bin");
    campaign::RunInputs inputs;
    inputs.Device = &device;
    inputs.Image = WriteImage(imageFile, device, tool.State());
    if (device.ParallelPart >= 0) {
      tool.FlashTypeChanged(device.ParallelPart);
    }
    // Load File: its override also enables Run for the one chip no image ever matches.
    dialogs.QueueOpenFileAnswer(imageFile);
    tool.LoadBtnClick();
    tool.TickChanged(Control::NVRAMCheck, device.NvramTicked);
    tool.TickChanged(Control::A1ChipCheck, device.A1Ticked);
    ASSERT_TRUE(tool.Controls(Control::UpdateBtn).Enabled);
    inputs.FirmwareSize = tool.Settings().FirmwareSize;
    inputs.FlashPageSize = tool.Settings().FlashPageSize;
    inputs.NvramTicked = device.NvramTicked;

    const campaign::MemorySnapshot before = campaign::TakeSnapshot(machine, path, device);
    const campaign::RunIntent intent = campaign::IntendedOutcome(inputs, before);
    const std::size_t boxesBefore = dialogs.Boxes().size();
    {
      sim::QuietStdout quiet;
      tool.UpdateBtnClick();
    }
    EXPECT_EQ(tool.LastProcedure(), device.Run);
    campaign::RunRecord record;
    record.Result = tool.LastResult();
    record.FinalStatus = tool.StatusText();
    record.Outcome = tool.Run().Outcome;
    for (std::size_t i = boxesBefore; i < dialogs.Boxes().size(); ++i) {
      record.Boxes.push_back(dialogs.Boxes()[i].Text);
    }
    const campaign::MemorySnapshot after = campaign::TakeSnapshot(machine, path, device);
    const campaign::Judgement judgement = campaign::JudgeRun(
        device, EngineeringAction::Update, record, intent, before, after, folder.File("none"));
    EXPECT_TRUE(judgement.Claimed) << record.FinalStatus;
    EXPECT_EQ(judgement.Breach, "");
    EXPECT_TRUE(tool.Controls(Control::UpdateBtn).Enabled);
    EXPECT_EQ(deviceView.ProceduresFinished, 1);
    // The window's title climbs to 100 and goes back to the plain caption when Run returns.
    std::vector<int> shares = deviceView.RunPercents;
    ASSERT_GE(shares.size(), 2u);
    EXPECT_EQ(shares.back(), kNoRunPercent);
    shares.pop_back();
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(shares.back(), 100);
  }
}

TEST_F(ToolCoreTest, ABurstOfDeviceChangesIsOneRefreshAfterTheLastOne) {
  sim::AddPreset(system, "qv40714-atmel");
  StartCore();
  const int atStart = Refreshes();
  core->DeviceChangeMsg(kDeviceArrival);
  timers->Advance(1000);
  core->DeviceChangeMsg(kDevNodesChanged);  // starts the delay over, with its own length
  timers->Advance(150);
  core->DeviceChangeMsg(0x0018);  // a change that asks for nothing
  EXPECT_EQ(Refreshes(), atStart);
  timers->Advance(100);
  EXPECT_EQ(Refreshes(), atStart + 1);
  timers->Advance(60000);
  EXPECT_EQ(Refreshes(), atStart + 1);
}

TEST_F(ToolCoreTest, ThePlatformsHotPlugReportsReachTheDebounceThroughTheWindowsQueue) {
  sim::Enclosure* enclosure = sim::AddPreset(system, "qv40714-atmel");
  ASSERT_NE(enclosure, nullptr);
  StartCore();
  ASSERT_TRUE(core->DevNotify());
  const int atStart = Refreshes();
  system.Unplug(enclosure->Path);
  EXPECT_FALSE(timers->IsRunning(kHotPlugTimerId));  // not before the queue runs
  view.RunPosted();
  timers->Advance(kOtherChangeDelayMs);
  EXPECT_EQ(Refreshes(), atStart + 1);  // one refresh, which finds nothing
  EXPECT_EQ(core->DeviceCount(), 0);
  EXPECT_EQ(view.Items, std::vector<std::string>{std::string(kNoDeviceItem)});
  EXPECT_FALSE(core->Controls(Control::UpdateBtn).Enabled);
  core.reset();  // releases the platform's listener
  system.Plug(enclosure->Path);
  EXPECT_EQ(view.PostedCount(), 0u);
}

// A chip that keeps its firmware on the disk from a configuration level on: when its block does
// not answer it has no level, never the level of the device checked before it, and Run stays
// off.
TEST_F(ToolCoreTest, ADiskKeptChipWhoseLevelCannotBeReadCannotBeRun) {
  Add("qv40709-disk");
  StartCore();
  ASSERT_EQ(core->DeviceCount(), 1);
  core->TickChanged(Control::RdCheckBox, true);
  core->TickChanged(Control::EraseOnlyCheck, true);
  ASSERT_TRUE(core->Controls(Control::UpdateBtn).Enabled);
  ASSERT_GE(core->State().ConfigLevel, 0xD0);

  sim::FaultRule refuse;
  refuse.Pattern = sim::CdbPattern::Prefix({0xFF, 0x04, 0xA0});
  refuse.Times = 0;
  system.Faults().Arm(refuse);
  core->DeviceListChanged(0);
  EXPECT_EQ(core->State().ConfigLevel, 0);
  EXPECT_FALSE(core->Controls(Control::UpdateBtn).Enabled);
  core->TickChanged(Control::EraseOnlyCheck, false);
  core->TickChanged(Control::EraseOnlyCheck, true);
  EXPECT_FALSE(core->Controls(Control::UpdateBtn).Enabled);
  system.Log().Clear();
  core->UpdateBtnClick();
  EXPECT_EQ(core->LastProcedure(), UpdateProcedure::None);
  EXPECT_TRUE(system.Log().Entries().empty());
}

// A typed "Flash Type" names no part; Run must not program for the part chosen before it.
TEST_F(ToolCoreTest, AParallelFlashRunNeedsAPartFromTheList) {
  Add("qv40712-sst");
  StartCore();
  core->FlashTypeChanged(2);
  core->FlashTypeChanged(-1);
  core->TickChanged(Control::RdCheckBox, true);
  core->TickChanged(Control::EraseOnlyCheck, true);
  ASSERT_TRUE(core->Controls(Control::UpdateBtn).Enabled);
  system.Log().Clear();
  core->UpdateBtnClick();
  EXPECT_EQ(core->StatusText(), kFlashTypeNotListedText);
  EXPECT_TRUE(system.Log().Entries().empty());
  EXPECT_TRUE(core->Controls(Control::UpdateBtn).Enabled);
}

TEST_F(ToolCoreTest, ClosingDuringARunWaitsForItsEnd) {
  sim::AddPreset(system, "qv40714-atmel");
  StartCore();
  core->TickChanged(Control::RdCheckBox, true);
  core->TickChanged(Control::EraseOnlyCheck, true);
  // The power-cycle box at the end of the erase is still inside the procedure.
  bool asked = false;
  bool closeAllowedDuringRun = true;
  dialogs.WhileBoxOpen = [&](const MessageBoxRequest&) {
    if (core->ProcedureRunning() && !std::exchange(asked, true)) {
      closeAllowedDuringRun = core->CloseRequested();
    }
  };
  {
    sim::QuietStdout quiet;
    core->UpdateBtnClick();
  }
  ASSERT_TRUE(asked);
  EXPECT_FALSE(closeAllowedDuringRun);
  EXPECT_EQ(view.CloseCount, 1);  // asked of the view once the procedure had returned
}

// Installed under /usr/bin the program's folder holds no images: the dialog starts in the folder
// used last, else at home. Elsewhere it starts beside the program.
TEST_F(ToolCoreTest, TheFileDialogStartsWhereTheOperatorsFilesAre) {
  const std::string home = folder.File("home");
  const std::string config = folder.File("config");
  const std::string images = folder.File("images");
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(images);
  const std::string savedHome = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  auto firstRequestFolder = [&](const std::string& programFolder, const char* answer) {
    RecordingView quiet;
    RecordingDialogs asked;
    if (answer != nullptr) {
      asked.QueueOpenFileAnswer(std::string(answer));
    }
    ToolCore tool(quiet, std::make_unique<FakeWindowTimers>(), programFolder);
    tool.Start();
    tool.LoadBtnClick();
    return asked.FileRequests().empty() ? std::string("none")
                                        : asked.FileRequests()[0].InitialDirectory;
  };

  EXPECT_EQ(firstRequestFolder("/usr/bin", (images + "/fw.bin").c_str()), home);
  EXPECT_EQ(firstRequestFolder("/usr/bin", nullptr), images);
  EXPECT_EQ(firstRequestFolder(folder.File("portable"), nullptr), folder.File("portable"));
  std::filesystem::remove_all(images);  // gone: home again
  EXPECT_EQ(firstRequestFolder("/usr/bin", nullptr), home);

  ::setenv("HOME", savedHome.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace q71x::testing
