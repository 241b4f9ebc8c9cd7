// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which faulted runs a campaign case makes of its fault-free trace: at each sampled command index
// a single fault of every one-shot kind, and a persistent fault of every kind that lasts (from
// that command on every answer short by a few bytes, one field of every answer garbled, a flash
// that stays busy, the same wrong field on every repeat of that one command); then a sampled set of
// double faults, two one-shot faults at two indices, drawn with a fixed seed so that every run of
// the campaign makes the same ones.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/fault_injector.h"
#include "tests/campaign/campaign_devices.h"

namespace q71x::campaign {

inline constexpr sim::FaultKind kCampaignFaults[] = {
    sim::FaultKind::Fail, sim::FaultKind::Short, sim::FaultKind::Garbage, sim::FaultKind::Timeout,
    sim::FaultKind::Unplug};
inline constexpr sim::FaultKind kPersistentFaults[] = {
    sim::FaultKind::ShortBy, sim::FaultKind::GarbageField, sim::FaultKind::StuckBusy,
    sim::FaultKind::IdenticalGarble};

struct TracedCommand {
  std::vector<std::uint8_t> Cdb;
  std::uint32_t WireLength = 0;
};

struct PlannedFault {
  sim::FaultKind Kind = sim::FaultKind::Fail;
  std::size_t Index = 0;  // the command it hits first, counted from 1
  std::uint32_t Value = 0;
  bool Persistent = false;  // it hits every command from Index on
};

struct FaultPlan {
  PlannedFault First;
  std::optional<PlannedFault> Second;  // a double fault's later one
};

struct CampaignOptions {
  std::size_t Stride = 1;  // every n-th command index (the last one is always taken)
  // 0: no limit. Otherwise the stride widens for long traces (the busy polls of a slow chip
  // erase, host-driven programming) so that a case samples about this many indices...
  std::size_t MaxIndices = 0;
  // ...and replays about this many commands in all (0: no limit); the first and last few
  // indices are taken whatever the limits say.
  std::uint64_t ReplayBudget = 0;
  std::size_t DoubleFaults = 0;  // double-fault runs per case
};

// The command indices a case samples, counted from 1: every n-th one as the options say, and
// always the first and last few.
std::vector<std::size_t> SampledIndices(std::size_t traceLength, const CampaignOptions& options);

// Every run a case makes, singles and persistent ones first, index by index, then the doubles.
std::vector<FaultPlan> PlanFaults(const CampaignDevice& device, EngineeringAction action,
                                  const std::vector<TracedCommand>& trace,
                                  const CampaignOptions& options);

sim::FaultRule RuleFor(const PlannedFault& fault, const std::string& path);

}  // namespace q71x::campaign
