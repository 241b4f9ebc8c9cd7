// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The fault campaign over one device and one action: record the fault-free command trace, then
// rerun the action on a fresh machine for every run the fault plan makes of it (one-shot,
// persistent and double faults). Every run is judged: success claimed only over the memory the
// run meant to write, an ending text the failure table names, and, after a power cycle (a
// re-plug when the enclosure was pulled) and the recovery journal's restore, a fault-free run
// that completes the action with the kept configuration area still in place. A second enclosure
// of the same model sits beside the device all along: no entry of the device is ever offered to
// it, and its memory stays as it was.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/fault_plan.h"
#include "tests/campaign/open_findings.h"

namespace q71x::campaign {

inline constexpr std::size_t kFaultKinds =
    static_cast<std::size_t>(sim::FaultKind::IdenticalGarble) + 1;

std::string_view FaultName(sim::FaultKind kind);

struct Figures {
  std::uint64_t Runs = 0;            // faulted runs (each followed by a recovery run)
  std::uint64_t FaultsInjected = 0;  // runs whose fault (either one of a double) fired
  // Runs by the kind of their fault, double faults apart.
  std::array<std::uint64_t, kFaultKinds> RunsByKind{};
  std::uint64_t DoubleFaultRuns = 0;
  std::uint64_t FalseSuccesses = 0;
  std::uint64_t UnknownTexts = 0;
  std::uint64_t Unrecovered = 0;
  // The kept configuration area differs after the re-plug, the journal's recovery and the
  // recovery run, counting pulled enclosures...
  std::uint64_t ConfigAreasLost = 0;
  std::uint64_t ConfigAreasLostToUnplug = 0;  // ...of which the run was pulled
  std::uint64_t AreasRestoredFromJournal = 0;
  std::uint64_t JournalProblems = 0;  // files in the journal folder that are not sound entries
  // The other enclosure of the model was offered an entry, refused for one, or had its memory
  // changed.
  std::uint64_t AreasOnWrongUnit = 0;
  std::uint64_t ExplainedByOpenFindings = 0;

  Figures& operator+=(const Figures& other);
};

struct Problem {
  Verdict Kind = Verdict::FalseSuccess;
  FaultPlan Faults;
  std::vector<std::uint8_t> Cdb;  // the traced command the first fault hits
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

// Runs the whole campaign of one device and action. `workDir` holds the image and backup files.
CaseReport RunCampaignCase(const CampaignDevice& device, EngineeringAction action,
                           const CampaignOptions& options, const std::filesystem::path& workDir);

// Problems that no open finding explains.
std::size_t UnexplainedProblems(const CaseReport& report);

std::string DescribeProblem(const CaseReport& report, const Problem& problem);
std::string FormatFigures(const Figures& figures);

}  // namespace q71x::campaign
