// SPDX-License-Identifier: GPL-2.0-or-later
// Host cost of each procedure over a simulated enclosure with the latency model off: the time
// the tool itself spends on a run when the device answers at once (flash times still move the
// virtual clock, which costs nothing real). Each iteration starts from a fresh machine; setting
// it up is not timed. The counters say how many commands a run sent and whether it ended in
// success. Two procedures need virtual time to pass between commands, which with the bus cost
// switched off it does not: the parallel-flash idle wait asks the bridge with no pause between
// questions, and the dual-path update's auto-increment runs reach an SST part that is still
// busy. Both are also run with the latency model on, the run the operator would see.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/case_measurement.h"
#include "bench/prepared_case.h"
#include "bench/procedure_cases.h"
#include "sim/quiet_stdout.h"

namespace q71x::bench {
namespace {

void RunCase(benchmark::State& state, const ProcedureCase* procedureCase, bool latencyModel) {
  sim::QuietStdout quiet;
  long commands = 0;
  bool succeeded = false;
  for (auto _ : state) {
    state.PauseTiming();
    auto prepared = std::make_unique<PreparedCase>(*procedureCase, latencyModel);
    prepared->Machine().Counter().DropCommandLog(true);
    prepared->Machine().Counter().ResetTally();
    if (!prepared->Problem().empty()) {
      state.SkipWithError(prepared->Problem().c_str());
      state.ResumeTiming();
      break;
    }
    state.ResumeTiming();
    benchmark::DoNotOptimize(prepared->Run());
    state.PauseTiming();
    commands = static_cast<long>(prepared->Machine().Counter().Tally().Commands);
    succeeded = RunSucceeded(prepared->Window());
    prepared.reset();
    state.ResumeTiming();
  }
  state.counters["commands"] = static_cast<double>(commands);
  state.counters["ok"] = succeeded ? 1 : 0;
}

bool NeedsVirtualTime(UpdateProcedure procedure) {
  return procedure == UpdateProcedure::UpdateParallelFlash ||
         procedure == UpdateProcedure::UpdateSerialFlashSpi;
}

// One benchmark per case the table marks, named after procedure, action and case. Setting up a
// machine per iteration takes longer than most runs and is not timed, so a short minimum time
// keeps the wall time of the whole set in bounds; the repetitions give the spread.
constexpr double kMinTimeSeconds = 0.05;

const bool kRegistered = [] {
  for (const ProcedureCase& procedureCase : ProcedureCases()) {
    if ((procedureCase.Groups & kBenchmarked) == 0) {
      continue;
    }
    std::string name = std::string(UpdateProcedureName(procedureCase.Run)) + "/" +
                       std::string(EngineeringActionName(procedureCase.Act)) + "/" +
                       procedureCase.Label;
    for (char& c : name) {
      if (c == ' ') {
        c = '_';
      }
    }
    benchmark::RegisterBenchmark(name.c_str(), RunCase, &procedureCase, false)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(kMinTimeSeconds);
    if (NeedsVirtualTime(procedureCase.Run)) {
      benchmark::RegisterBenchmark((name + "/latency_on").c_str(), RunCase, &procedureCase, true)
          ->Unit(benchmark::kMillisecond)
          ->MinTime(kMinTimeSeconds);
    }
  }
  return true;
}();

}  // namespace
}  // namespace q71x::bench
