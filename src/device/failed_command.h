// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The last command block on this thread that did not do what was asked: its opcode, why the
// pass-through ended as it did, and how many bytes moved. Procedures see only 1 or 0 from the
// command builders; the run's outcome picks the reason up from here, so that a failure report
// carries the device's own sense instead of a status text.

#include <cstdint>
#include <optional>

#include "src/device/platform/pass_through_outcome.h"

namespace q71x {

struct FailedCommand {
  std::uint8_t Opcode = 0;
  PassThroughOutcome Outcome;     // Good with fewer bytes moved than asked: a short answer
  bool Opened = true;             // false: the device path could not be opened at all
  std::uint32_t Requested = 0;    // data bytes asked for
  std::uint32_t Transferred = 0;  // data bytes the request moved
};

void NoteFailedCommand(const FailedCommand& failure);
std::optional<FailedCommand> LastFailedCommand();
void ForgetFailedCommand();

}  // namespace q71x
