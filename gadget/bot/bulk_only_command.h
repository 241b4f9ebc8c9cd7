// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One command of the Bulk-Only Transport over the two bulk pipes: the wrapper, the data phase
// and the status. The pipes are file descriptors (FunctionFS endpoint files in the gadget), read
// and written whole.

#include <mutex>

#include "gadget/bot/scsi_target.h"

namespace q71x::gadget {

enum class BulkOnlyResult {
  Served,       // wrapper, data and status went through
  TransferCut,  // a pipe failed (unbind, disconnect, reset); start over with the next wrapper
  NotACommand,  // the host sent something that is no valid wrapper
};

// A data-in phase always moves the length the host asked for, padded with zeros, and the
// status's residue tells how much of it the device meant; a failed command pads the same way.
// `targetLock` is held while the target works.
BulkOnlyResult ServeBulkOnlyCommand(int bulkOutFd, int bulkInFd, ScsiTarget& target,
                                    std::mutex& targetLock);

}  // namespace q71x::gadget
