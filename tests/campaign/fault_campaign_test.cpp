// SPDX-License-Identifier: GPL-2.0-or-later
// The fault campaign under CTest: one test per device and action, in the bounded form (every
// n-th command index; Q71X_CAMPAIGN_STRIDE=1 gives the full form that scripts/campaign.sh runs).
// A case fails on a fault-free run that does not do what it meant to, and on any false success,
// unknown ending text, unrecovered device or lost configuration area that no open finding
// explains.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <string>

#include "tests/campaign/fault_campaign.h"
#include "tests/campaign/open_findings.h"
#include "tests/support/temp_dir.h"

namespace q71x::campaign {
namespace {

// Sampled densely enough that every phase of every procedure sees each fault kind, sparsely
// enough that the whole bounded campaign stays within about a minute on two cores (nine kinds
// of fault run at each sampled index).
constexpr std::size_t kBoundedStride = 21;
constexpr std::size_t kBoundedMaxIndices = 50;
constexpr std::uint64_t kBoundedReplayBudget = 2'000'000;
// Double-fault runs per case: a few in the bounded form, a few thousand over the full campaign.
constexpr std::size_t kBoundedDoubleFaults = 4;
constexpr std::size_t kFullDoubleFaults = 48;
// Cases an open finding explains are counted in full but shown only this often per test.
constexpr std::size_t kExplainedCasesShown = 3;

long PositiveFromEnvironment(const char* name) {
  const char* text = std::getenv(name);
  return text != nullptr ? std::max(0L, std::strtol(text, nullptr, 10)) : 0;
}

// Q71X_CAMPAIGN_STRIDE=n samples every n-th index with no cap (1 is the full campaign);
// Q71X_CAMPAIGN_BUDGET=c changes how many commands the bounded form replays per case (the
// sanitizer build lowers it).
CampaignOptions OptionsFromEnvironment() {
  CampaignOptions options;
  options.Stride = kBoundedStride;
  options.MaxIndices = kBoundedMaxIndices;
  options.ReplayBudget = kBoundedReplayBudget;
  options.DoubleFaults = kBoundedDoubleFaults;
  if (const long stride = PositiveFromEnvironment("Q71X_CAMPAIGN_STRIDE"); stride > 0) {
    options.Stride = static_cast<std::size_t>(stride);
    options.MaxIndices = 0;
    options.ReplayBudget = 0;
    options.DoubleFaults = kFullDoubleFaults;
  } else if (const long budget = PositiveFromEnvironment("Q71X_CAMPAIGN_BUDGET"); budget > 0) {
    options.ReplayBudget = static_cast<std::uint64_t>(budget);
  }
  return options;
}

// Totals over every case this process ran, and how many cases each open finding explained.
struct CampaignTotals {
  Figures Counts;
  std::map<std::string_view, std::size_t> FindingHits;
  std::size_t Cases = 0;
};

CampaignTotals& Totals() {
  static CampaignTotals totals;
  return totals;
}

class TotalsPrinter : public ::testing::Environment {
 public:
  void TearDown() override {
    const CampaignTotals& totals = Totals();
    if (totals.Cases == 0 && totals.FindingHits.empty()) {
      return;
    }
    const CampaignOptions options = OptionsFromEnvironment();
    const std::string cap = options.MaxIndices > 0
                                ? ", at most " + std::to_string(options.MaxIndices) +
                                      " and about " + std::to_string(options.ReplayBudget) +
                                      " replayed commands per case"
                                : std::string();
    std::printf("campaign totals over %zu cases (1 in %zu command indices%s): %s\n", totals.Cases,
                options.Stride, cap.c_str(), FormatFigures(totals.Counts).c_str());
    for (const OpenFinding& finding : OpenFindings()) {
      const auto hit = totals.FindingHits.find(finding.Id);
      std::printf("open finding %s (%s; owner: %s): %zu cases\n  %s\n  suggested fix: %s\n",
                  std::string(finding.Id).c_str(), std::string(VerdictName(finding.Kind)).c_str(),
                  std::string(finding.Owner).c_str(),
                  hit == totals.FindingHits.end() ? 0 : hit->second,
                  std::string(finding.Summary).c_str(), std::string(finding.SuggestedFix).c_str());
    }
  }
};

const auto* const kPrinter = ::testing::AddGlobalTestEnvironment(new TotalsPrinter);

struct CaseParam {
  const CampaignDevice* Device;
  EngineeringAction WhatRuns;
};

// Names the case in test listings instead of dumping the record's bytes.
void PrintTo(const CaseParam& param, std::ostream* out) {
  *out << UpdateProcedureName(param.Device->Run) << " " << EngineeringActionName(param.WhatRuns)
       << " on " << param.Device->Key;
}

std::vector<CaseParam> AllCases() {
  std::vector<CaseParam> cases;
  for (const CampaignDevice& device : CampaignDevices()) {
    for (const EngineeringAction action :
         {EngineeringAction::Update, EngineeringAction::EraseOnly, EngineeringAction::BackupOnly}) {
      cases.push_back({&device, action});
    }
  }
  return cases;
}

std::string CaseName(const ::testing::TestParamInfo<CaseParam>& info) {
  std::string name = std::string(info.param.Device->Key) + "_" +
                     std::string(EngineeringActionName(info.param.WhatRuns));
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) {
      c = '_';
    }
  }
  return name;
}

class FaultCampaign : public ::testing::TestWithParam<CaseParam> {};

TEST_P(FaultCampaign, NoFaultMakesTheToolLieOrLoseTheDevice) {
  const CaseParam& param = GetParam();
  testing::TempDir dir;
  const CampaignOptions options = OptionsFromEnvironment();
  const CaseReport report = RunCampaignCase(*param.Device, param.WhatRuns, options, dir.path());

  if (!report.BaselineProblem.empty() && report.BaselineFinding != nullptr) {
    ++Totals().FindingHits[report.BaselineFinding->Id];
    GTEST_SKIP() << "open finding " << report.BaselineFinding->Id << ": " << report.BaselineProblem;
  }
  ASSERT_EQ("", report.BaselineProblem);
  ASSERT_GT(report.TraceLength, 0u);
  std::printf("%s %s on %s: trace of %zu commands; %s\n",
              std::string(UpdateProcedureName(param.Device->Run)).c_str(),
              std::string(EngineeringActionName(param.WhatRuns)).c_str(), param.Device->Key,
              report.TraceLength, FormatFigures(report.Counts).c_str());

  CampaignTotals& totals = Totals();
  totals.Counts += report.Counts;
  ++totals.Cases;
  std::size_t shown = 0;
  for (const Problem& problem : report.Problems) {
    if (problem.Known != nullptr) {
      ++totals.FindingHits[problem.Known->Id];
      if (shown++ < kExplainedCasesShown) {
        std::printf("  %s\n", DescribeProblem(report, problem).c_str());
      }
    } else {
      ADD_FAILURE() << DescribeProblem(report, problem);
    }
  }
  EXPECT_EQ(0u, UnexplainedProblems(report));
  EXPECT_GT(report.Counts.FaultsInjected, 0u);
  EXPECT_EQ(0u, report.Counts.JournalProblems);
  EXPECT_EQ(0u, report.Counts.AreasOnWrongUnit);
}

INSTANTIATE_TEST_SUITE_P(EveryDeviceAndAction, FaultCampaign, ::testing::ValuesIn(AllCases()),
                         CaseName);

}  // namespace
}  // namespace q71x::campaign
