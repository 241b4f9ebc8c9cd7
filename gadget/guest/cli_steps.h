// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The command-line program through the real kernel: q71xfw, as a script would run it, lists the
// gadgets' bridges, backs each one up and updates it, and each run is judged by the memories the
// gadget hands out before and after.

#include <string>
#include <vector>

#include "gadget/guest/step_log.h"

namespace q71x::guest {

struct CliGadget {
  std::string PresetKey;  // the preset the gadget runs
  std::string Socket;     // its control socket
};

struct CliGuestConfig {
  std::string Program;  // q71xfw
  std::string WorkDir = "/tmp";
  std::vector<CliGadget> Gadgets;
};

// Runs every check; each prints its PASS or FAIL line through `log`.
void CheckCommandLine(StepLog& log, const CliGuestConfig& config);

}  // namespace q71x::guest
