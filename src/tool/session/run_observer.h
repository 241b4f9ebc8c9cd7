// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Told by the session when Run is pressed, as the procedure's share done grows, and when the
// procedure has returned (the progress display listens).

#include <cstdint>

#include "src/update/update_procedure.h"

namespace q71x {

struct RunReport;

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // `firmwareSize` is the program-wide setting the chip check left: the size of the firmware.
  virtual void RunStarting(EngineeringAction action, UpdateProcedure procedure,
                           std::uint32_t firmwareSize) = 0;
  // 0 to 100, never going back within a run.
  virtual void RunPercent(int /*percent*/) {}
  virtual void RunEnded(const RunReport& report) = 0;
};

}  // namespace q71x
