// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Peak resident memory of one piece of work, measured in a child process of its own so that
// no case inherits another's high-water mark. The child sets up, marks the start of the run
// (the kernel's high-water mark is reset to the current resident size there, so set-up
// transients do not hide the run, and set-up's freed memory is handed back first so that the run
// cannot hide in it), runs, and reports getrusage's ru_maxrss before and after.

#include <functional>
#include <string>

namespace q71x::bench {

struct PeakMemory {
  std::string Problem;          // empty when the figures are valid
  long BaselineKib = 0;         // ru_maxrss at the start of the run
  long PeakKib = 0;             // ru_maxrss at its end
  bool HighWaterReset = false;  // false: the baseline is set-up's own peak, which may hide some
  bool WorkSucceeded = false;   // what the work itself returned
  long WorkKib = 0;             // a figure the work measured itself
  long GrowthKib() const { return PeakKib - BaselineKib; }
};

struct WorkOutcome {
  bool Succeeded = false;
  long Kib = 0;
};

// `work` runs in the child; it must call `markRunStart` once, right before the measured part,
// and returns whether it did what it was meant to, with a figure of its own if it has one.
using MeasuredWork = std::function<WorkOutcome(const std::function<void()>& markRunStart)>;
PeakMemory MeasurePeakMemory(const MeasuredWork& work);

}  // namespace q71x::bench
