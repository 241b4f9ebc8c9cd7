// SPDX-License-Identifier: GPL-2.0-or-later
// The campaign through `q71xfw update`, in the bounded form: faults at sampled command indices
// of the update with its automatic backup, on one device of each family that keeps its area in
// the recovery journal; SIGINT and a closed standard error at sampled indices of an update.
// Q71X_CAMPAIGN_STRIDE=n takes every n-th index instead (scripts/campaign.sh).

#include <gtest/gtest.h>

#ifdef Q71X_CLI_CAMPAIGN

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/campaign/cli_run_campaign.h"

namespace q71x::campaign {
namespace {

// Each faulted run costs four runs of the program, each loading and saving the state folder:
// a few indices per device, spread over the update, keep the bounded form within CI's time.
constexpr std::size_t kBoundedFaultIndices = 3;
constexpr std::size_t kBoundedStopIndices = 8;

CampaignOptions OptionsFor(std::size_t boundedIndices) {
  CampaignOptions options;
  const char* stride = std::getenv("Q71X_CAMPAIGN_STRIDE");
  if (stride != nullptr && std::strtol(stride, nullptr, 10) > 0) {
    options.Stride = static_cast<std::size_t>(std::strtol(stride, nullptr, 10));
  } else {
    options.MaxIndices = boundedIndices;
  }
  return options;
}

void Expect(const std::string& name, const CliFigures& figures) {
  std::printf("%s: %s\n", name.c_str(), FormatCliFigures(figures).c_str());
  for (const std::string& explained : figures.Explained) {
    std::printf("  %s\n", explained.c_str());
  }
  for (const std::string& problem : figures.Problems) {
    ADD_FAILURE() << problem;
  }
  EXPECT_GT(figures.Runs, 0u);
  EXPECT_EQ(figures.Runs, figures.FaultsFired) << "a fault or stop that never came judges nothing";
  EXPECT_EQ(figures.ExplainedByOpenFindings, figures.FalseSuccesses +
                                                 figures.BackupsThatDoNotRestore +
                                                 figures.Unrecovered + figures.WrongExits);
}

std::string Named(const char* key) {
  std::string name = key;
  for (char& c : name) {
    c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

class CliUpdateWithBackup : public ::testing::TestWithParam<const char*> {};

TEST_P(CliUpdateWithBackup, NoFaultMakesItLieAndEveryClaimedBackupRestores) {
  const CampaignDevice* device = FindCampaignDevice(GetParam());
  ASSERT_NE(device, nullptr);
  const CliFigures figures = RunCliFaultCase(*device, OptionsFor(kBoundedFaultIndices));
  Expect(std::string("cli update with backup on ") + GetParam(), figures);
  EXPECT_GT(figures.BackupsClaimed, 0u);
  EXPECT_GT(figures.BackupsRestored, 0u);
}

// The serial-flash, NVRAM and 1394 families: each keeps its area in the journal differently.
INSTANTIATE_TEST_SUITE_P(KeptAreaFamilies, CliUpdateWithBackup,
                         ::testing::Values("qv40714-atmel", "qvk842-eon", "qvk846-1394"),
                         [](const auto& info) { return Named(info.param); });

struct StopCase {
  const char* Name;
  CliStop Stop;
};

class CliStopAtEveryCommand : public ::testing::TestWithParam<StopCase> {};

TEST_P(CliStopAtEveryCommand, TheProgramExitsAsDocumentedAndTheUnitRecovers) {
  const CampaignDevice* device = FindCampaignDevice("qvk842-eon");
  ASSERT_NE(device, nullptr);
  const CliFigures figures =
      RunCliStopCase(*device, GetParam().Stop, OptionsFor(kBoundedStopIndices));
  Expect(std::string("cli ") + GetParam().Name + " on qvk842-eon", figures);
  if (GetParam().Stop == CliStop::Interrupt) {
    EXPECT_GT(figures.StoppedAfterRun, 0u) << "no stop came while the device was written";
  }
}

INSTANTIATE_TEST_SUITE_P(Stops, CliStopAtEveryCommand,
                         ::testing::Values(StopCase{"interrupt", CliStop::Interrupt},
                                           StopCase{"closed_pipe", CliStop::ClosedPipe}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace q71x::campaign

#endif
