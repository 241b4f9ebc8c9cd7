// SPDX-License-Identifier: GPL-2.0-or-later
// The typed outcome over whole runs of every family: a fault-free update succeeds with its share
// climbing to 100, and a command the device refuses ends the run with that command's own sense,
// not just a status text.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "src/image/sample_image.h"
#include "tests/campaign/campaign_rig.h"
#include "tests/campaign/fault_plan.h"
#include "tests/support/temp_dir.h"

namespace q71x::campaign {
namespace {

// One device for each update procedure.
constexpr const char* kOnePerProcedure[] = {"qv40714-atmel", "qvk842-eon",  "qvk848-mxic",
                                            "qvk846-1394",   "qv40712-sst", "qv40709-disk",
                                            "qvn962-sst-spi"};

// ILLEGAL REQUEST, INVALID FIELD IN CDB: sense key, ASC and ASCQ in bytes 2, 1 and 0.
constexpr std::uint32_t kRefusal = 0x052400;
// Runs in which the device refuses every command from one on (a single refusal the DF family
// outlives by its next attempt), spread over the fault-free run's commands.
constexpr std::size_t kSampledCommands = 24;

void WriteImage(const CampaignDevice& device, const ChipState& state, const std::string& path) {
  SampleImageOptions options;
  options.ChipType = state.ChipType;
  options.ChipRevision = state.ChipRevision;
  options.Size = device.ImageBytes;
  options.NvramBlock = device.ImageHasNvram;
  const std::vector<std::uint8_t> bytes = BuildSampleImage(options);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class RunOutcomeTest : public ::testing::TestWithParam<const char*> {
 protected:
  const CampaignDevice& device = *FindCampaignDevice(GetParam());
  testing::TempDir dir;
  std::string image = dir.File("image.bin");
  std::string backup = dir.File("backup.bin");
};

TEST_P(RunOutcomeTest, ASuccessClimbsToAHundredAndARefusedCommandCarriesItsSense) {
  std::vector<std::uint8_t> opcodes;
  {
    CampaignRig rig(device, image, backup);
    ASSERT_TRUE(rig.Ready());
    rig.Settle(EngineeringAction::Update);
    WriteImage(device, rig.Window().state, image);
    rig.System().Log().Clear();
    const RunRecord record = rig.Run();
    EXPECT_EQ(RunVerdict::Succeeded, record.Outcome.Verdict) << record.FinalStatus;
    EXPECT_EQ(FailureReason::None, record.Outcome.Reason);
    EXPECT_TRUE(record.Outcome.MemoryChanged);
    EXPECT_TRUE(record.Outcome.PowerCycleAsked);
    const std::vector<int>& shares = rig.Window().runPercents;
    ASSERT_FALSE(shares.empty());
    EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end()));
    EXPECT_EQ(100, shares.back());
    EXPECT_TRUE(std::any_of(shares.begin(), shares.end(), [](int p) { return p > 0 && p < 100; }))
        << "the share moves during the run, not only at its end";
    for (const sim::LoggedCommand& command : rig.System().Log().Entries()) {
      opcodes.push_back(command.Cdb.front());
    }
  }
  ASSERT_FALSE(opcodes.empty());

  bool stoppedPastTheErase = false;
  const std::size_t stride = std::max<std::size_t>(1, opcodes.size() / kSampledCommands);
  for (std::size_t index = 1; index <= opcodes.size(); index += stride) {
    SCOPED_TRACE(index);
    CampaignRig rig(device, image, backup);
    rig.Settle(EngineeringAction::Update);
    rig.System().Log().Clear();
    rig.System().Faults().Arm(
        RuleFor(PlannedFault{sim::FaultKind::CheckCondition, index, kRefusal, true}, rig.Path()));
    const RunRecord record = rig.Run();
    const RunOutcome& outcome = record.Outcome;
    if (outcome.Reason != FailureReason::CommandFailed) {
      continue;  // a refusal the procedure passes over, or one it reports by its check
    }
    EXPECT_EQ(RunVerdict::Failed, outcome.Verdict) << record.FinalStatus;
    ASSERT_TRUE(outcome.Command.has_value());
    const std::vector<sim::LoggedCommand>& sent = rig.System().Log().Entries();
    ASSERT_GE(sent.size(), index);
    EXPECT_TRUE(std::any_of(sent.begin() + static_cast<std::ptrdiff_t>(index - 1), sent.end(),
                            [&](const sim::LoggedCommand& command) {
                              return command.Cdb.front() == outcome.Command->Opcode;
                            }))
        << "the failed command is one the device refused";
    EXPECT_EQ(PassThroughResult::CheckCondition, outcome.Command->Outcome.Result);
    EXPECT_EQ(0x05, outcome.Command->Outcome.SenseKey());
    EXPECT_EQ(0x24, outcome.Command->Outcome.Asc());
    EXPECT_EQ(0x00, outcome.Command->Outcome.Ascq());
    stoppedPastTheErase = stoppedPastTheErase || outcome.MemoryChanged;
  }
  EXPECT_TRUE(stoppedPastTheErase) << "no refused command stopped a run that touched the memory";
}

INSTANTIATE_TEST_SUITE_P(EveryProcedure, RunOutcomeTest, ::testing::ValuesIn(kOnePerProcedure),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace q71x::campaign
