// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The one report of a verb over several devices: an entry per device (its id, outcome, exit
// code and texts, and the report its run alone would have given), and the exit code of the
// whole: 0 only when every device the verb took succeeded; when every device that did not
// failed alike, that code; otherwise 1. A device --all did not take counts for neither.

#include <ostream>
#include <vector>

#include <nlohmann/json.hpp>

#include "src/app/cli/several_devices.h"

namespace q71x::cli {

VerbOutcome SummaryOf(const std::vector<DeviceRun>& runs);

// "DEVICE  ID  OUTCOME  CODE  MESSAGE", a line per entry of the summary's "runs".
void WriteSummaryTable(std::ostream& out, const nlohmann::json& runs);

}  // namespace q71x::cli
