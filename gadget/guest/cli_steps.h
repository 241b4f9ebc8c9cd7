// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The command-line program through the real kernel: q71xfw, as a script would run it (as the
// seat's user when one is given), lists the gadgets' bridges, backs each one up and updates it,
// and each run is judged by the memories the gadget hands out before and after.

#include <optional>
#include <string>
#include <vector>

#include "gadget/guest/cli_runner.h"
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
  // Runs q71xfw as this user, whose access to the bridges is udev's seat grant alone.
  std::optional<SeatUser> User;
  // A serial-flash gadget with a part larger than one kernel request carries: the large update
  // and the pull in the middle of one.
  std::optional<CliGadget> Large;
};

// Runs every check; each prints its PASS or FAIL line through `log`.
void CheckCommandLine(StepLog& log, const CliGuestConfig& config);

}  // namespace q71x::guest
