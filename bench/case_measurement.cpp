// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/case_measurement.h"

#include <time.h>

#include <vector>

#include "bench/prepared_case.h"
#include "sim/bus_timing.h"
#include "sim/quiet_stdout.h"

namespace q71x::bench {
double ReplayDeviceShare(const ProcedureCase& procedureCase, const MeasureOptions& options,
                         const std::function<void()>& atReplayStart) {
  std::vector<PlatformCall> calls;
  {
    PreparedCase recorded(procedureCase, options.LatencyModel);
    recorded.Machine().Counter().KeepCalls(true);
    sim::QuietStdout quiet;
    recorded.Run();
    calls = recorded.Machine().Counter().Calls();
  }
  PreparedCase replayed(procedureCase, options.LatencyModel);
  // Through the same counting layer as the run, so that both carry its (small) cost alike.
  CountingPlatform& counter = replayed.Machine().Counter();
  counter.DropCommandLog(options.DropCommandLog);
  return ReplayCalls(calls, counter, atReplayStart);
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

bool RunSucceeded(const ToolWindow& window) {
  return window.Run().Outcome.Verdict == RunVerdict::Succeeded;
}

CaseMeasurement MeasureCase(const ProcedureCase& procedureCase, const MeasureOptions& options) {
  CaseMeasurement measurement;
  PreparedCase prepared(procedureCase, options.LatencyModel);
  if (!prepared.Problem().empty()) {
    measurement.Problem = prepared.Problem();
    return measurement;
  }
  CountingPlatform& counter = prepared.Machine().Counter();
  counter.DropCommandLog(options.DropCommandLog);
  counter.ResetTally();
  if (options.AtRunStart) {
    options.AtRunStart();
  }
  if (options.SampleHeap) {
    counter.StartHeapSampling();
  }
  const std::uint64_t startUs = prepared.Machine().NowUs();
  double cpuSeconds = 0;
  {
    // The procedures' diagnostic lines go to standard output, where the report's table goes.
    sim::QuietStdout quiet;
    const double cpuStart = ProcessCpuSeconds();
    measurement.Result = prepared.Run();
    cpuSeconds = ProcessCpuSeconds() - cpuStart;
  }
  measurement.HostCpuSeconds = cpuSeconds;
  measurement.ModeledUs = prepared.Machine().NowUs() - startUs;
  measurement.Bus = counter.Tally();
  measurement.HeapPeakBytes = options.SampleHeap ? counter.HeapPeakAboveStart() : 0;
  measurement.FinalStatus = prepared.Window().StatusText();
  measurement.EndedInSuccess = RunSucceeded(prepared.Window());
  measurement.SubjectBytes = SubjectBytes(procedureCase);
  measurement.PerCommandUs = prepared.Device()->BusKind == sim::Bus::Usb
                                 ? sim::kUsbHighSpeedCost.PerCommandUs
                                 : sim::kIeee1394Cost.PerCommandUs;

  std::uint32_t eraseBytes = 0;
  std::uint32_t programBytes = 0;
  switch (procedureCase.Act) {
    case EngineeringAction::Update:
      eraseBytes = programBytes = procedureCase.ImageBytes;
      break;
    case EngineeringAction::EraseOnly:
      eraseBytes = measurement.SubjectBytes;
      break;
    case EngineeringAction::BackupOnly:
      break;
  }
  measurement.Floor =
      ComputePhysicalFloor(*prepared.Device(), eraseBytes, programBytes, measurement.Bus);
  if (options.SplitDeviceCpu) {
    measurement.DeviceCpuSeconds = ReplayDeviceShare(procedureCase, options);
  }
  return measurement;
}

}  // namespace q71x::bench
