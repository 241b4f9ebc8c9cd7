#pragma once
// The fault campaign over one device and one action: record the fault-free command trace, then
// for every command index k of it (or every n-th, in the bounded form) rerun the action on a
// fresh machine with the k-th command failing, answering short, answering garbage, timing out
// and pulling the enclosure out. Every run is judged: success claimed only over the memory the
// run meant to write, an ending text the failure table names, and a fault-free run after a power
// cycle that completes the action.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/open_findings.h"

namespace q71x::campaign {

inline constexpr sim::FaultKind kCampaignFaults[] = {
    sim::FaultKind::Fail, sim::FaultKind::Short, sim::FaultKind::Garbage, sim::FaultKind::Timeout,
    sim::FaultKind::Unplug};

std::string_view FaultName(sim::FaultKind kind);

struct Figures {
  std::uint64_t Runs = 0;            // faulted runs (each followed by a recovery run)
  std::uint64_t FaultsInjected = 0;  // runs whose fault fired
  std::uint64_t FalseSuccesses = 0;
  std::uint64_t UnknownTexts = 0;
  std::uint64_t Unrecovered = 0;
  std::uint64_t ConfigAreasLost = 0;  // the kept configuration area differs after recovery...
  std::uint64_t ConfigAreasLostToUnplug = 0;  // ...and the same when the fault was an unplug
  std::uint64_t ExplainedByOpenFindings = 0;

  Figures& operator+=(const Figures& other);
};

struct Problem {
  Verdict Kind = Verdict::FalseSuccess;
  sim::FaultKind Fault = sim::FaultKind::Fail;
  std::size_t Index = 0;  // k, counted from 1
  std::vector<std::uint8_t> Cdb;
  std::string FinalStatus;
  std::string Detail;
  const OpenFinding* Known = nullptr;
};

struct CaseReport {
  const CampaignDevice* Device = nullptr;
  EngineeringAction WhatRuns = EngineeringAction::Update;
  std::size_t TraceLength = 0;
  std::string BaselineProblem;  // empty when the fault-free run did what it meant to
  // The fault-free run claimed success over the wrong memory: never excused by an open finding.
  bool BaselineClaimedFalsely = false;
  const OpenFinding* BaselineFinding = nullptr;  // the open finding that explains it, if any
  Figures Counts;
  std::vector<Problem> Problems;
};

struct CampaignOptions {
  std::size_t Stride = 1;  // every n-th command index (the last one is always taken)
  // 0: no limit. Otherwise the stride widens for long traces (the busy polls of a slow chip
  // erase, host-driven programming) so that a case samples about this many indices...
  std::size_t MaxIndices = 0;
  // ...and replays about this many commands in all (0: no limit); the first and last few
  // indices are taken whatever the limits say.
  std::uint64_t ReplayBudget = 0;
};

// Runs the whole campaign of one device and action. `workDir` holds the image and backup files.
CaseReport RunCampaignCase(const CampaignDevice& device, EngineeringAction action,
                           const CampaignOptions& options, const std::filesystem::path& workDir);

// Problems that no open finding explains.
std::size_t UnexplainedProblems(const CaseReport& report);

std::string DescribeProblem(const CaseReport& report, const Problem& problem);
std::string FormatFigures(const Figures& figures);

}  // namespace q71x::campaign
