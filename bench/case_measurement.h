// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One measured run of a case: what crossed the bus, the modeled duration on the virtual clock,
// the host CPU the run took, the physical floor, and how the run ended (figures of a run that
// did not end in success describe a different run and are flagged).

#include <cstdint>
#include <functional>
#include <string>

#include "bench/counting_platform.h"
#include "bench/physical_floor.h"
#include "bench/procedure_cases.h"
#include "src/update/tool_window.h"

namespace q71x::bench {

struct CaseMeasurement {
  std::string Problem;  // set-up failed; nothing else is filled
  int Result = 0;
  std::string FinalStatus;
  // CPU of the same platform calls replayed against an identical simulated machine: what the
  // simulated device cost. Measured only when asked for.
  double DeviceCpuSeconds = 0;
  // Heap in use above the start of the run, sampled at every command (when asked for).
  std::size_t HeapPeakBytes = 0;
  bool EndedInSuccess = false;
  BusTally Bus;
  std::uint64_t ModeledUs = 0;
  double HostCpuSeconds = 0;
  std::uint32_t SubjectBytes = 0;
  PhysicalFloor Floor;
  // The fixed cost the device's bus charges per command (command, status, scheduling).
  std::uint64_t PerCommandUs = 0;
};

struct MeasureOptions {
  bool LatencyModel = true;
  // Memory measurements: the simulator's command log must not grow with the run.
  bool DropCommandLog = false;
  // Called after set-up, right before the procedure starts.
  std::function<void()> AtRunStart;
  // Runs the case twice more: once keeping its platform calls, once replaying them.
  bool SplitDeviceCpu = false;
  bool SampleHeap = false;
};

CaseMeasurement MeasureCase(const ProcedureCase& procedureCase, const MeasureOptions& options);

// The simulated device's share of a case: the case run once with its platform calls kept, then
// those calls made again on an identical machine (its command log dropped as the run's was).
// `atReplayStart` is called right before the replay's first call. Returns the replay's CPU
// seconds.
double ReplayDeviceShare(const ProcedureCase& procedureCase, const MeasureOptions& options,
                         const std::function<void()>& atReplayStart = {});

// CPU time of this process so far (user and system), in seconds.
double ProcessCpuSeconds();

// Whether the last run in `window` did what was asked, by its outcome.
bool RunSucceeded(const ToolWindow& window);

}  // namespace q71x::bench
