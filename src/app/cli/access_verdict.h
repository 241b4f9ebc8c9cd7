// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A run that could not reach its device because the system refused to open it ends with exit
// code 5 and says so, instead of calling the device absent or the operation failed.

#include <string>
#include <vector>

#include "src/app/cli/verbs.h"

namespace q71x::cli {

// `refused`: the devices the system refused to open during the run; `notice`: the platform's
// words on what the operator can do about it (may be empty).
void JudgeRefusedOpens(VerbOutcome& outcome, const std::vector<std::string>& refused,
                       const std::string& notice);

}  // namespace q71x::cli
