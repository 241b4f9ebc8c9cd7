// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/fault_injector.h"

#include <algorithm>

namespace q71x::sim {

std::size_t BytesMoved(const FaultAction& fault, std::size_t size) {
  const std::size_t value = fault.Value;
  if (fault.Kind == FaultKind::ShortBy) {
    return size > value ? size - value : 0;
  }
  return std::min(value, size);
}

std::span<std::uint8_t> FaultedField(const FaultAction& fault, std::span<std::uint8_t> data) {
  const std::size_t offset = fault.Value & 0xFFFFu;
  const std::size_t width = std::max<std::size_t>(1, fault.Value >> 16);
  if (offset >= data.size()) {
    return {};
  }
  return data.subspan(offset, std::min(width, data.size() - offset));
}

std::size_t FaultInjector::Arm(FaultRule rule) {
  ArmedRule armed;
  armed.Rule = std::move(rule);
  rules_.push_back(std::move(armed));
  return rules_.size() - 1;
}

void FaultInjector::Remove(std::size_t id) {
  if (id < rules_.size()) {
    rules_[id].Active = false;
  }
}

std::uint32_t FaultInjector::FiredCount(std::size_t id) const {
  return id < rules_.size() ? rules_[id].Fired : 0;
}

std::optional<FaultAction> FaultInjector::OnCommand(const std::string& path,
                                                    std::span<const std::uint8_t> cdb) {
  std::optional<FaultAction> action;
  for (ArmedRule& armed : rules_) {
    if (!armed.Active || (!armed.Rule.Path.empty() && armed.Rule.Path != path) ||
        !armed.Rule.Pattern.Matches(cdb)) {
      continue;
    }
    ++armed.Matched;
    const std::uint32_t first = static_cast<std::uint32_t>(armed.Rule.Nth < 1 ? 1 : armed.Rule.Nth);
    const bool inWindow = armed.Matched >= first &&
                          (armed.Rule.Times <= 0 ||
                           armed.Matched < first + static_cast<std::uint32_t>(armed.Rule.Times));
    const bool sameCommand =
        armed.Rule.Kind != FaultKind::IdenticalGarble || armed.Fired == 0 ||
        std::equal(cdb.begin(), cdb.end(), armed.FirstCdb.begin(), armed.FirstCdb.end());
    if (inWindow && sameCommand && !action) {
      if (armed.Fired == 0) {
        armed.FirstCdb.assign(cdb.begin(), cdb.end());
      }
      ++armed.Fired;
      action = FaultAction{armed.Rule.Kind, armed.Rule.Value, armed.Fired};
    }
  }
  return action;
}

bool FaultInjector::OnExclusiveOpen(const std::string& path) {
  for (BusyOpens& busy : busyOpens_) {
    if (busy.Left == 0 || !(busy.Path.empty() || busy.Path == path)) {
      continue;
    }
    if (busy.Before > 0) {
      --busy.Before;
      continue;
    }
    --busy.Left;
    ++busyOpensRefused_;
    return true;
  }
  return false;
}

}  // namespace q71x::sim
