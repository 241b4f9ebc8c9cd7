// SPDX-License-Identifier: GPL-2.0-or-later
// The campaign's front-end journal over the simulator: a run pulled after its erase gets its
// configuration area back through the journal after the re-plug, the operator's run after that
// keeps it, and nothing in the folder that is not the device's sound entry is touched.

#include "tests/campaign/journal_recovery.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sim/cdb_pattern.h"
#include "src/image/sample_image.h"
#include "src/update/run_outcome.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/campaign/campaign_rig.h"
#include "tests/campaign/device_memory.h"
#include "tests/campaign/fault_plan.h"
#include "tests/support/temp_dir.h"

namespace q71x::campaign {
namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kRead = 0x10;

std::vector<std::uint8_t> AreaOf(CampaignRig& rig, const CampaignDevice& device) {
  const ConfigRegion region = ConfigRegionOf(device);
  const MemorySnapshot memory = TakeSnapshot(rig.System(), rig.Path(), device);
  return {memory.Bytes.begin() + region.Offset,
          memory.Bytes.begin() + region.Offset + region.Bytes};
}

struct UpdateRig {
  const CampaignDevice& Device = *FindCampaignDevice("qv40713e-mxic32");
  testing::TempDir Dir;
  CampaignRig Rig{Device, (Dir.path() / "image.bin").string(),
                  (Dir.path() / "backup.bin").string()};

  UpdateRig() {
    Rig.Settle(EngineeringAction::Update);
    SampleImageOptions options;
    options.ChipType = Rig.Window().state.ChipType;
    options.ChipRevision = Rig.Window().state.ChipRevision;
    options.Size = Device.ImageBytes;
    const std::vector<std::uint8_t> image = BuildSampleImage(options);
    std::ofstream((Dir.path() / "image.bin"), std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
  }
  JournalDevice Checked() { return JournalDeviceOf(Rig.Window().state, Rig.Probe(), Rig.Path()); }
};

TEST(FrontEndJournal, APulledUpdateGetsItsConfigurationAreaBackAndKeepsIt) {
  UpdateRig setup;
  CampaignRig& rig = setup.Rig;
  const std::vector<std::uint8_t> area = AreaOf(rig, setup.Device);
  FrontEndJournal journal(setup.Dir.path() / "journal");
  // The erase at 0 reaches the copy at 0x8000 on this part; the third read is the blank check.
  rig.System().Faults().Arm(sim::FaultRule{sim::CdbPattern::Prefix({0xFF, 0x04, kRead}), 3, 1,
                                           rig.Path(), sim::FaultKind::Unplug, 0});
  {
    const auto installed = journal.Install(setup.Checked());
    rig.Run();
  }
  ASSERT_NE(AreaOf(rig, setup.Device), area) << "the pull must come after the area's erase";

  rig.System().Faults().Clear();
  rig.PowerCycle();
  rig.Settle(EngineeringAction::Update);
  const JournalRecovery recovery = journal.Recover(rig.Window(), setup.Checked(), rig.Path());
  EXPECT_EQ(1u, recovery.Restored);
  EXPECT_EQ(0u, recovery.Failed);
  EXPECT_EQ(0u, recovery.Problems);
  EXPECT_EQ(AreaOf(rig, setup.Device), area);

  rig.Settle(EngineeringAction::Update);
  const RunRecord again = rig.Run();
  EXPECT_EQ(RunVerdict::Succeeded, again.Outcome.Verdict) << again.FinalStatus;
  EXPECT_EQ(AreaOf(rig, setup.Device), area);
  // The entry was closed by the restore; the second run closed its own.
  EXPECT_EQ(0u, journal.Recover(rig.Window(), setup.Checked(), rig.Path()).Restored);
}

TEST(FrontEndJournal, OtherDevicesEntriesAndForeignFilesAreLeftAlone) {
  UpdateRig setup;
  const fs::path folder = setup.Dir.path() / "journal";
  FrontEndJournal journal(folder);
  RecoveryJournal library(folder);
  // Another enclosure of the same model: only its serial number tells it apart.
  JournalEntry other;
  other.Device = setup.Checked();
  other.Device.Unit.UsbSerial += "-OTHER";
  other.Procedure = "UpdateSerialFlash";
  other.AreaAddress = kConfigCopyAddress;
  other.EraseAddress = kConfigCopyAddress;
  other.Area.assign(kConfigCopyBytes, 0x33);
  ASSERT_EQ("", library.Record(other));
  std::ofstream(folder / "notes.journal") << "written by someone else\n";

  const JournalRecovery recovery =
      journal.Recover(setup.Rig.Window(), setup.Checked(), setup.Rig.Path());
  EXPECT_EQ(0u, recovery.Restored);
  EXPECT_EQ(0u, recovery.Failed);
  EXPECT_EQ(1u, recovery.Problems);
  EXPECT_TRUE(fs::exists(folder / other.Name));
  EXPECT_TRUE(fs::exists(folder / "notes.journal"));
}

TEST(FaultPlan, DoubleFaultsAreDrawnTheSameEveryTimeInTraceOrder) {
  const CampaignDevice& disk = *FindCampaignDevice("qv40709-disk");
  std::vector<TracedCommand> trace(300, TracedCommand{{0x28}, 512});
  trace[10].WireLength = 0;
  CampaignOptions options;
  options.Stride = 50;
  options.DoubleFaults = 40;
  const std::vector<FaultPlan> plans = PlanFaults(disk, EngineeringAction::Update, trace, options);
  const std::vector<FaultPlan> again = PlanFaults(disk, EngineeringAction::Update, trace, options);
  ASSERT_EQ(plans.size(), again.size());
  std::size_t doubles = 0;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const FaultPlan& plan = plans[i];
    // Disk-kept firmware has no flash to stay busy; a command without data cannot answer short.
    EXPECT_NE(plan.First.Kind, sim::FaultKind::StuckBusy);
    if (plan.First.Index == 11) {
      EXPECT_NE(plan.First.Kind, sim::FaultKind::Short);
      EXPECT_NE(plan.First.Kind, sim::FaultKind::ShortBy);
    }
    EXPECT_EQ(plan.First.Kind, again[i].First.Kind);
    EXPECT_EQ(plan.First.Index, again[i].First.Index);
    if (plan.Second) {
      ++doubles;
      EXPECT_LT(plan.First.Index, plan.Second->Index);
      ASSERT_TRUE(again[i].Second);
      EXPECT_EQ(plan.Second->Index, again[i].Second->Index);
      EXPECT_EQ(plan.Second->Kind, again[i].Second->Kind);
    }
  }
  EXPECT_EQ(40u, doubles);
}

}  // namespace
}  // namespace q71x::campaign
