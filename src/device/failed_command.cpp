// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/failed_command.h"

namespace q71x {
namespace {

// Per thread: parallel runs on several bridges each keep their own.
thread_local std::optional<FailedCommand> lastFailure;

}  // namespace

void NoteFailedCommand(const FailedCommand& failure) {
  lastFailure = failure;
}

std::optional<FailedCommand> LastFailedCommand() {
  return lastFailure;
}

void ForgetFailedCommand() {
  lastFailure.reset();
}

}  // namespace q71x
