// SPDX-License-Identifier: GPL-2.0-or-later
// The tool core with a recovery journal, over a simulated DF-family enclosure pulled out in the
// middle of Run: the run's entry outlives the pull, the chip check of the re-plugged enclosure
// asks whether the area goes back, and the operator's answer decides; a file of the journal that
// is not a sound entry is named once and left alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "sim/fault_injector.h"
#include "sim/quiet_stdout.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/device/platform/forwarding_platform.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/host/question_box.h"
#include "src/host/unit_lock.h"
#include "src/image/sample_image.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/tool/unit_ownership.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/support/df_pattern.h"
#include "tests/support/fake_window_timers.h"
#include "tests/support/fault_rule.h"
#include "tests/support/file_bytes.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_view.h"
#include "tests/support/temp_folder.h"
#include "tests/tool/simulated_desk.h"

namespace q71x::testing {
namespace {

constexpr const char* kDeviceKey = "qvk844-winbond";

// Another program that starts its run on the unit while this one's chip check talks to the
// bridge: `claim` runs before the first command the wrapper carries.
class ClaimAtFirstCommand : public ForwardingPlatform {
 public:
  ClaimAtFirstCommand(Platform& inner, std::function<void()> claim)
      : ForwardingPlatform(inner), claim_(std::move(claim)) {}
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override {
    if (claim_) {
      std::exchange(claim_, nullptr)();
    }
    return Inner().SendPassThrough(handle, record);
  }

 private:
  std::function<void()> claim_;
};

class JournalRecoveryTest : public ::testing::Test, protected SimulatedDesk {
 protected:
  JournalRecoveryTest() {
    previousQuestion = SetQuestionHandler([this](const MessageBoxRequest& request) {
      questions.push_back(request.Text);
      return answer;
    });
    device = campaign::FindCampaignDevice(kDeviceKey);
    path = campaign::AddCampaignDevice(system, *device);
    region = campaign::ConfigRegionOf(*device);
    original = Area();
    core = std::make_unique<ToolCore>(view, std::make_unique<FakeWindowTimers>(), folder.File(""));
    core->SetRecoveryJournal(&journal);
    core->Start();
  }
  ~JournalRecoveryTest() override { SetQuestionHandler(std::move(previousQuestion)); }

  std::vector<std::uint8_t> Area() {
    const auto& flash = system.FindPlugged(path)->Bridge.Flash->Contents();
    return {flash.begin() + region.Offset, flash.begin() + region.Offset + region.Bytes};
  }

  // Run with an image, the enclosure pulled once the first block (its erase mark and the kept
  // area) has landed cut short; then plugged in again.
  void RunAndPull() {
    SampleImageOptions options;
    options.ChipType = core->State().ChipType;
    options.ChipRevision = core->State().ChipRevision;
    options.Size = device->ImageBytes;
    options.NvramBlock = device->ImageHasNvram;
    const std::string image = folder.File("image.bin");
    WriteFileBytes(image, BuildSampleImage(options));
    dialogs.QueueOpenFileAnswer(image);
    core->LoadBtnClick();
    // "Include 4K NVRAM" unticked: the device's own area is kept across the erase.
    core->TickChanged(Control::NVRAMCheck, false);
    ASSERT_TRUE(core->Controls(Control::UpdateBtn).Enabled);
    Arm(1, sim::FaultKind::Short, 16);
    Arm(2, sim::FaultKind::Unplug, 0);
    {
      sim::QuietStdout quiet;
      core->UpdateBtnClick();
    }
    ASSERT_EQ(core->LastProcedure(), UpdateProcedure::UpdateDfFlash);
    ASSERT_TRUE(system.Plug(path));
    system.Faults().Clear();
    ASSERT_NE(Area(), original) << "the pull took the area";
  }

  void Arm(int nth, sim::FaultKind kind, std::uint32_t value, int times = 1) {
    system.Faults().Arm(FaultRuleFor(DfPattern(kDfFlashWrite), nth, kind, times, value));
  }

  RecoveryJournal journal{std::filesystem::path(folder.File("journal"))};
  const campaign::CampaignDevice* device = nullptr;
  std::string path;
  campaign::ConfigRegion region;
  std::vector<std::uint8_t> original;
  std::unique_ptr<ToolCore> core;
  std::vector<std::string> questions;
  bool answer = false;
  QuestionHandler previousQuestion;
};

TEST_F(JournalRecoveryTest, YesPutsTheLostAreaBackAndClosesTheEntry) {
  RunAndPull();
  const std::vector<JournalEntry> open = journal.OpenFor(core->CheckedDevice(), nullptr);
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].Area, original);
  EXPECT_EQ(open[0].Device.DevicePath, path);
  ASSERT_TRUE(questions.empty()) << "nothing is asked before the device is checked again";

  answer = true;
  core->DeviceListChanged(0);

  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].rfind(std::string(kJournalQuestionText), 0), 0u);
  EXPECT_EQ(Area(), original);
  EXPECT_EQ(dialogs.BoxTexts().back(), kJournalRestoredText);
  EXPECT_TRUE(journal.List().Open.empty());
  core->DeviceListChanged(0);
  EXPECT_EQ(questions.size(), 1u) << "a closed entry is not offered again";
}

TEST_F(JournalRecoveryTest, NoLeavesTheEntryAndTheCheckGoesOn) {
  RunAndPull();
  const std::vector<std::uint8_t> damaged = Area();
  answer = false;
  core->DeviceListChanged(0);

  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(Area(), damaged) << "nothing is written without a yes";
  EXPECT_EQ(journal.OpenFor(core->CheckedDevice(), nullptr).size(), 1u);
  EXPECT_FALSE(core->Controls(Control::ChipLabelEdit).Text.empty());
  EXPECT_TRUE(core->Controls(Control::UpdateBtn).Enabled);
  // The checks that follow a typed name or a tick do not ask again.
  core->FirmwareFileEdited(core->Controls(Control::FwFilenameEdit).Text);
  core->TickChanged(Control::RdCheckBox, true);
  core->TickChanged(Control::RdCheckBox, false);
  EXPECT_EQ(questions.size(), 1u);

  // Asked again once the device is chosen again, the area goes back then.
  answer = true;
  core->DeviceListChanged(0);
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(Area(), original);
}

// A refused write-back is no success: the entry stays for the next check.
TEST_F(JournalRecoveryTest, AnAreaThatDoesNotGoBackKeepsItsEntry) {
  RunAndPull();
  Arm(1, sim::FaultKind::Fail, 0, 0);
  answer = true;
  core->DeviceListChanged(0);

  EXPECT_EQ(dialogs.BoxTexts().back(), kJournalRestoreFailText);
  EXPECT_EQ(journal.List().Open.size(), 1u);
  EXPECT_NE(Area(), original);
}

// While an entry waits nothing else may change the device: another run's entry would be put back
// after it, and an erase would take what is left. Once the area is back, Run goes.
TEST_F(JournalRecoveryTest, RunIsRefusedUntilTheEntryIsPutBack) {
  RunAndPull();
  answer = false;
  core->DeviceListChanged(0);
  const std::vector<std::uint8_t> damaged = Area();
  system.Log().Clear();
  core->UpdateBtnClick();
  EXPECT_EQ(core->StatusText(), kJournalPendingRunText);
  core->TickChanged(Control::RdCheckBox, true);
  core->TickChanged(Control::EraseOnlyCheck, true);
  core->UpdateBtnClick();
  EXPECT_EQ(core->StatusText(), kJournalPendingRunText);
  EXPECT_TRUE(system.Log().Entries().empty());
  EXPECT_EQ(Area(), damaged);
  EXPECT_EQ(journal.List().Open.size(), 1u);

  core->TickChanged(Control::EraseOnlyCheck, false);
  answer = true;
  core->DeviceListChanged(0);
  ASSERT_EQ(Area(), original);
  {
    sim::QuietStdout quiet;
    core->UpdateBtnClick();
  }
  EXPECT_EQ(core->LastResult(), 1) << core->StatusText();
  EXPECT_TRUE(journal.List().Open.empty());
}

// The look the chip check takes before it talks to the bridge is no claim: another program that
// takes the unit during the check keeps it unwritten, and once it lets go the area goes back.
TEST_F(JournalRecoveryTest, TheAreaGoesBackOnlyWhileThisProgramOwnsTheUnit) {
  const ScopedUnitLockFolder locks(folder.File("locks"));
  RunAndPull();
  const std::vector<std::uint8_t> flash = system.FindPlugged(path)->Bridge.Flash->Contents();
  UnitOwnership other;
  std::optional<std::size_t> claimedAt;
  ClaimAtFirstCommand claiming(platform, [&] {
    if (!other.Claim(path, UnitIdentity{})) {
      claimedAt = system.Log().Size();
    }
  });
  answer = true;
  {
    const ScopedActivePlatform useClaiming(claiming);
    core->DeviceListChanged(0);
  }
  ASSERT_TRUE(claimedAt.has_value());
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(core->StatusText().rfind("In use by process", 0), 0u) << core->StatusText();
  EXPECT_FALSE(core->Controls(Control::UpdateBtn).Enabled);
  const auto& sent = system.Log().Entries();
  for (std::size_t i = *claimedAt; i < sent.size(); ++i) {
    EXPECT_TRUE(sent[i].DataIn || sent[i].WireLength == 0)
        << "a data-out command reached the owned bridge: command " << i;
  }
  EXPECT_EQ(system.FindPlugged(path)->Bridge.Flash->Contents(), flash);
  EXPECT_EQ(journal.List().Open.size(), 1u);

  other.ReleaseAll();
  // What the write-back changed is handed on (the simulator saves it) before the unit is let go.
  std::optional<bool> ownedWhenLettingGo;
  core->SetLetGoListener([&] {
    EXPECT_EQ(Area(), original);
    ownedWhenLettingGo = UnitOwnership().Claim(path, UnitIdentity{}).has_value();
  });
  core->DeviceListChanged(0);
  EXPECT_EQ(ownedWhenLettingGo, std::optional<bool>(true));
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(Area(), original);
  EXPECT_TRUE(journal.List().Open.empty());
  EXPECT_FALSE(other.Claim(path, UnitIdentity{}).has_value()) << "the window let go afterwards";
}

TEST_F(JournalRecoveryTest, AFileThatIsNotAnEntryIsNamedOnceAndLeftInPlace) {
  std::filesystem::create_directories(journal.Folder());
  const std::filesystem::path stranger = journal.Folder() / "notes.txt";
  WriteFileBytes(stranger.string(), {'k', 'e', 'e', 'p'});
  const std::size_t boxesBefore = dialogs.Boxes().size();

  core->DeviceListChanged(0);
  core->DeviceListChanged(0);

  const std::vector<std::string> boxes = dialogs.BoxTexts();
  ASSERT_EQ(boxes.size(), boxesBefore + 1);
  EXPECT_NE(boxes.back().find(stranger.string()), std::string::npos) << boxes.back();
  EXPECT_EQ(ReadFileBytes(stranger.string()), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_TRUE(questions.empty());
}

// A second enclosure of the model on the desk: the entry of the first is never its business, and
// the first, once nothing proves it is the unit the entry came from, is told so and not written.
TEST_F(JournalRecoveryTest, AnEntryGoesOnlyToItsProvenUnit) {
  const std::string twin = campaign::AddCampaignTwin(system, *device);
  const std::vector<std::uint8_t> twinFlash = system.Find(twin)->Bridge.Flash->Contents();
  core->RefreshBtnClick();
  ASSERT_EQ(core->DeviceCount(), 2);
  const int twinItem = core->Devices()[0].DevicePath == twin ? 0 : 1;
  core->DeviceListChanged(1 - twinItem);
  RunAndPull();
  const std::vector<std::uint8_t> damaged = Area();
  const std::size_t boxesBefore = dialogs.Boxes().size();

  answer = true;
  core->DeviceListChanged(twinItem);
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(dialogs.Boxes().size(), boxesBefore);
  EXPECT_FALSE(core->WaitingJournal().Waiting());
  EXPECT_EQ(system.Find(twin)->Bridge.Flash->Contents(), twinFlash);

  // The first enclosure comes back without its serial number: nothing proves it is that unit.
  system.Find(path)->UsbSerial.clear();
  core->DeviceListChanged(1 - twinItem);
  EXPECT_TRUE(questions.empty());
  const JournalWait wait = core->WaitingJournal();
  EXPECT_EQ(wait.Verdict, JournalVerdict::UnprovenUnit);
  ASSERT_EQ(wait.Candidates.size(), 1u);
  const std::string refusal = dialogs.BoxTexts().back();
  EXPECT_EQ(refusal.rfind(std::string(kJournalUnprovenText), 0), 0u) << refusal;
  EXPECT_NE(refusal.find(UnitId(wait.Candidates[0].Entry.Device.Unit)), std::string::npos);
  EXPECT_NE(refusal.find(UnitId(core->CheckedDevice().Unit)), std::string::npos);
  EXPECT_EQ(Area(), damaged);
}

}  // namespace
}  // namespace q71x::testing
