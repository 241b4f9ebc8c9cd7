// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the device manager granted the seat's user: every bridge's SCSI generic node opens for it
// read-write, and a plain USB disk's node does not open at all. Judged from the kernel's side
// (an open(2) as that user, the node's mode and owner), without the product's code.

#include <string>
#include <vector>

#include "gadget/guest/cli_runner.h"
#include "gadget/guest/step_log.h"

namespace q71x::guest {

// `bridgeNodes`: the /dev/sgN nodes q71xfw listed as bridges.
void CheckSeatAccess(StepLog& log, const SeatUser& user,
                     const std::vector<std::string>& bridgeNodes);

}  // namespace q71x::guest
