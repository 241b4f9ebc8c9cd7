// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/fault_plan.h"

#include <algorithm>
#include <random>
#include <string_view>

namespace q71x::campaign {
namespace {

// Fixed, so that the full campaign's double faults are the same on every machine and every run.
constexpr std::uint32_t kDoubleFaultSeed = 0x71F4'2026u;
constexpr std::uint32_t kGarbledFieldBytes = 2;

bool FaultApplies(const CampaignDevice& device, sim::FaultKind kind, const TracedCommand& command) {
  switch (kind) {
    case sim::FaultKind::Short:
    case sim::FaultKind::Garbage:
    case sim::FaultKind::ShortBy:
    case sim::FaultKind::GarbageField:
    case sim::FaultKind::IdenticalGarble:
      return command.WireLength > 0;  // they need a data phase
    case sim::FaultKind::StuckBusy:
      // Disk-kept firmware has no flash to stay busy.
      return device.Memory != MemoryKind::Disk;
    default:
      return true;
  }
}

std::uint32_t ValueFor(sim::FaultKind kind, std::size_t index, const TracedCommand& command) {
  const auto k = static_cast<std::uint32_t>(index);
  switch (kind) {
    case sim::FaultKind::Short:
      return command.WireLength / 2;  // half the data moves
    case sim::FaultKind::ShortBy:
      return 1u << (k % 4);  // every answer 1, 2, 4 or 8 bytes short
    case sim::FaultKind::GarbageField:
    case sim::FaultKind::IdenticalGarble:
      // A field somewhere in the first answer, kept at that offset in the ones after it.
      return (k * 31u) % std::max<std::uint32_t>(command.WireLength, 1) | kGarbledFieldBytes << 16;
    default:
      return k * 7919u;  // garbage is seeded by the index, so each case is replayed exactly
  }
}

PlannedFault Planned(sim::FaultKind kind, std::size_t index, const TracedCommand& command,
                     bool persistent) {
  return PlannedFault{kind, index, ValueFor(kind, index, command), persistent};
}

std::uint32_t CaseSeed(const CampaignDevice& device, EngineeringAction action) {
  std::uint32_t seed = kDoubleFaultSeed ^ static_cast<std::uint32_t>(action);
  for (const char c : std::string_view(device.Key)) {
    seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  return seed;
}

// Two one-shot faults at two distinct indices, the earlier first. The later index counts the
// commands of the faulted run, which may differ from the trace once the first fault hit.
void AddDoubleFaults(const CampaignDevice& device, EngineeringAction action,
                     const std::vector<TracedCommand>& trace, std::size_t wanted,
                     std::vector<FaultPlan>& plans) {
  if (trace.size() < 2 || wanted == 0) {
    return;
  }
  std::mt19937 draw(CaseSeed(device, action));
  const auto pick = [&draw](std::size_t count) { return static_cast<std::size_t>(draw() % count); };
  std::size_t made = 0;
  for (std::size_t attempt = 0; made < wanted && attempt < wanted * 8; ++attempt) {
    std::size_t first = 1 + pick(trace.size());
    std::size_t second = 1 + pick(trace.size());
    const sim::FaultKind firstKind = kCampaignFaults[pick(std::size(kCampaignFaults))];
    const sim::FaultKind secondKind = kCampaignFaults[pick(std::size(kCampaignFaults))];
    if (first == second) {
      continue;
    }
    if (first > second) {
      std::swap(first, second);
    }
    const TracedCommand& one = trace[first - 1];
    const TracedCommand& two = trace[second - 1];
    if (!FaultApplies(device, firstKind, one) || !FaultApplies(device, secondKind, two)) {
      continue;
    }
    plans.push_back(
        FaultPlan{Planned(firstKind, first, one, false), Planned(secondKind, second, two, false)});
    ++made;
  }
}

}  // namespace

// The configuration area is read at the start of a run and written back at its end, where a
// sparse stride would step over it.
std::vector<std::size_t> SampledIndices(std::size_t traceLength, const CampaignOptions& options) {
  constexpr std::size_t kEdge = 6;
  std::size_t stride = std::max<std::size_t>(options.Stride, 1);
  std::size_t most = options.MaxIndices;
  if (options.ReplayBudget > 0 && traceLength > 0) {
    // Each index costs a faulted and a recovery run of about the trace's length per fault kind.
    const std::uint64_t perIndex = std::uint64_t{traceLength} * 2 *
                                   (std::size(kCampaignFaults) + std::size(kPersistentFaults));
    const auto affordable =
        static_cast<std::size_t>(std::max<std::uint64_t>(1, options.ReplayBudget / perIndex));
    most = most > 0 ? std::min(most, affordable) : affordable;
  }
  if (most > 0) {
    stride = std::max(stride, (traceLength + most - 1) / most);
  }
  std::vector<std::size_t> indices;
  for (std::size_t k = 1; k <= traceLength; ++k) {
    if (k <= kEdge || k + kEdge > traceLength || (k - 1) % stride == 0) {
      indices.push_back(k);
    }
  }
  return indices;
}

std::vector<FaultPlan> PlanFaults(const CampaignDevice& device, EngineeringAction action,
                                  const std::vector<TracedCommand>& trace,
                                  const CampaignOptions& options) {
  std::vector<FaultPlan> plans;
  for (const std::size_t k : SampledIndices(trace.size(), options)) {
    const TracedCommand& command = trace[k - 1];
    for (const sim::FaultKind kind : kCampaignFaults) {
      if (FaultApplies(device, kind, command)) {
        plans.push_back(FaultPlan{Planned(kind, k, command, false), std::nullopt});
      }
    }
    for (const sim::FaultKind kind : kPersistentFaults) {
      if (FaultApplies(device, kind, command)) {
        plans.push_back(FaultPlan{Planned(kind, k, command, true), std::nullopt});
      }
    }
  }
  AddDoubleFaults(device, action, trace, options.DoubleFaults, plans);
  return plans;
}

sim::FaultRule RuleFor(const PlannedFault& fault, const std::string& path) {
  sim::FaultRule rule;
  rule.Nth = static_cast<int>(fault.Index);
  rule.Times = fault.Persistent ? 0 : 1;
  rule.Path = path;
  rule.Kind = fault.Kind;
  rule.Value = fault.Value;
  return rule;
}

}  // namespace q71x::campaign
