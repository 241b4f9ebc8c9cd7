// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One fault for the simulator's injector, as the rigs and tests arm them.

#include <cstdint>
#include <string>

#include "sim/fault_injector.h"

namespace q71x::testing {

// Upsets the n-th command matching `pattern` from now on, and the following ones up to `times`
// in all (0: every one); `path` empty: on any device.
inline sim::FaultRule FaultRuleFor(sim::CdbPattern pattern, int nth, sim::FaultKind kind,
                                   int times = 1, std::uint32_t value = 0, std::string path = {}) {
  sim::FaultRule rule;
  rule.Pattern = std::move(pattern);
  rule.Nth = nth;
  rule.Times = times;
  rule.Kind = kind;
  rule.Value = value;
  rule.Path = std::move(path);
  return rule;
}

}  // namespace q71x::testing
