// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts a failed run may end with, per procedure and action: the failure texts of each
// procedure's failure table together with the documented replacements of ours (refusals before
// the first write, backup files that did not reach the disk whole). A failed run that ends on any
// other text tells the operator something no table foresees; success is the run's typed outcome.

#include <span>
#include <string>
#include <string_view>

#include "tests/campaign/campaign_devices.h"

namespace q71x::campaign {

struct OutcomeTexts {
  std::span<const std::string_view> Failure;
};

OutcomeTexts TextsFor(UpdateProcedure procedure, EngineeringAction action);

bool IsOneOf(std::span<const std::string_view> texts, const std::string& text);

}  // namespace q71x::campaign
