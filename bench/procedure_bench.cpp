// Host cost of each procedure over a simulated enclosure with the latency model off: the time
// the tool itself spends on a run when the device answers at once (flash times still move the
// virtual clock, which costs nothing real). Each iteration starts from a fresh machine; setting
// it up is not timed.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/prepared_case.h"
#include "bench/procedure_cases.h"
#include "bench/quiet_stdout.h"

namespace q71x::bench {
namespace {

void RunCase(benchmark::State& state, const ProcedureCase* procedureCase) {
  QuietStdout quiet;
  long commands = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto prepared = std::make_unique<PreparedCase>(*procedureCase, false);
    prepared->Machine().Counter().DropCommandLog(true);
    prepared->Machine().Counter().ResetTally();
    if (!prepared->Problem().empty()) {
      state.SkipWithError(prepared->Problem().c_str());
      break;
    }
    state.ResumeTiming();
    benchmark::DoNotOptimize(prepared->Run());
    state.PauseTiming();
    commands = static_cast<long>(prepared->Machine().Counter().Tally().Commands);
    prepared.reset();
    state.ResumeTiming();
  }
  state.counters["commands"] = static_cast<double>(commands);
}

// One benchmark per case the table marks, named after procedure, action and case.
const bool kRegistered = [] {
  for (const ProcedureCase& procedureCase : ProcedureCases()) {
    if ((procedureCase.Groups & kBenchmarked) == 0) {
      continue;
    }
    std::string name = std::string(ProcedureName(procedureCase.Run)) + "/" +
                       std::string(ActionName(procedureCase.Act)) + "/" + procedureCase.Label;
    for (char& c : name) {
      if (c == ' ') {
        c = '_';
      }
    }
    benchmark::RegisterBenchmark(name.c_str(), RunCase, &procedureCase)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace q71x::bench
