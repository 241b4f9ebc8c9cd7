// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a finished run claims: the status texts with which each procedure reports success for
// each action, and whether the power-cycle box on its own is such a claim. Front ends without an
// operator watching (the command line) and the fault campaign read success from here, so that
// nothing is reported as done that the procedure itself did not say it did.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "src/update/update_procedure.h"

namespace q71x {

// The texts a run of `procedure` doing `action` ends with when it succeeded; empty for None.
std::span<const std::string_view> SuccessTextsFor(UpdateProcedure procedure,
                                                  EngineeringAction action);

// Whether the power-cycle box, on its own, tells the operator the run succeeded. Where a
// failure also asks for a power cycle (the 1394 family, parallel erase only), it does not, and
// only the success text counts as a claim.
bool PowerCycleBoxClaimsSuccess(UpdateProcedure procedure, EngineeringAction action);

// The two power-cycle requests (with and without the blank before "!").
bool IsPowerCycleBox(const std::string& text);

// The run claimed success: it ended on a success text, or showed a power-cycle box that counts
// as the claim.
bool RunClaimsSuccess(UpdateProcedure procedure, EngineeringAction action,
                      const std::string& finalStatus, const std::vector<std::string>& boxes);

}  // namespace q71x
