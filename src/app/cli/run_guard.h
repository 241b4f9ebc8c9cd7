// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A run that changes device memory is not cut short by the process's own stop requests. From
// the first erase to the end of the configuration area's restore and the verify, a stop halfway
// leaves a bridge that boots nothing; so while a guarded run is in progress SIGINT, SIGTERM and
// SIGHUP (on Windows the console's Ctrl-C, Ctrl-Break, close, logoff and shutdown events) are
// held until it ends, and the program then stops on its own with 128 + the signal's number.
// Outside a guarded run they act at once, as they always did. SIGPIPE is ignored for the whole
// program: a reader that went away makes writes fail with EPIPE, which every writer here
// survives.
//
// The handlers only record the request; the notice and the stop happen on the run's thread.

#include <functional>
#include <optional>

#include "src/tool/session/run_scope.h"

namespace q71x::cli {

// A stop request held back by a guarded run.
struct HeldStop {
  int Number = 0;         // as POSIX numbers it: 1 hang-up, 2 interrupt, 15 terminate
  const char* Name = "";  // "SIGHUP", "SIGINT", "SIGTERM"
  int ExitCode() const { return 128 + Number; }
};

// Installs the handlers for the process; main calls it once, before anything else runs.
void InstallRunGuard();

// While one lives, stop requests wait. Guarded runs nest.
class GuardedRun {
 public:
  GuardedRun();
  ~GuardedRun();
  GuardedRun(const GuardedRun&) = delete;
  GuardedRun& operator=(const GuardedRun&) = delete;
};

// The request a guarded run held back, if one came.
std::optional<HeldStop> HeldStopRequest();

// The guard as a headless session takes it: every run that changes the device is a guarded run,
// and after a stop request no run starts.
RunScopes GuardedRunScopes();

// Who tells the operator, once, that a stop request waits for the run: installed for the life of
// the scope. Polled between commands, so it writes on the run's own thread, between whole lines.
class HeldStopNotice {
 public:
  explicit HeldStopNotice(std::function<void(const HeldStop&)> tell);
  ~HeldStopNotice();
  HeldStopNotice(const HeldStopNotice&) = delete;
  HeldStopNotice& operator=(const HeldStopNotice&) = delete;
};

// Gives the notice when a stop request waits and it has not been given yet.
void PollHeldStop();

}  // namespace q71x::cli
