// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts a run may end with, per procedure and action: the success texts, and the failure
// texts of each procedure's failure table together with the documented replacements of ours
// (refusals before the first write, backup files that did not reach the disk whole). A run that
// ends on any other text tells the operator something no table foresees.

#include <span>
#include <string>
#include <string_view>

#include "src/update/run_claim.h"
#include "tests/campaign/campaign_devices.h"

namespace q71x::campaign {

struct OutcomeTexts {
  std::span<const std::string_view> Success;
  std::span<const std::string_view> Failure;
  // Whether the power-cycle box, on its own, tells the operator the run succeeded. Where the
  // failure table also asks for a power cycle (the 1394 family, parallel erase only), it does
  // not, and only the success text counts as a claim.
  bool BoxClaimsSuccess = true;
};

OutcomeTexts TextsFor(UpdateProcedure procedure, EngineeringAction action);

bool IsOneOf(std::span<const std::string_view> texts, const std::string& text);

using q71x::IsPowerCycleBox;

}  // namespace q71x::campaign
