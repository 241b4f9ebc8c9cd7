// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the program around a headless session keeps from cutting a run short. A run that changes
// the device must not stop halfway, and a program that is stopping must start no new run; how a
// stop request reaches the process (signals, console events) is the program's business, so the
// session only asks through these hooks. Both are optional: a session without them runs as if
// nothing could stop it.

#include <functional>
#include <memory>

namespace q71x {

// Held from just before a run that changes the device is announced until its procedure has
// returned; while it lives, the program's stop requests wait.
class RunScope {
 public:
  virtual ~RunScope() = default;
};

struct RunScopes {
  std::function<std::unique_ptr<RunScope>()> EnterChangingRun;
  // Whether the program has been asked to stop: no run is started after that.
  std::function<bool()> StopRequested;
};

}  // namespace q71x
