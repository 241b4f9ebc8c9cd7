// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One case made ready to run: a fresh simulated machine with the case's device plugged in, the
// chip check's device probes done (so the window holds what the procedures read), the image file
// written and the ticks set. Run() then starts the procedure exactly as Run would. Everything is
// removed again with the object.

#include <cstdint>
#include <string>

#include "bench/bench_window.h"
#include "bench/procedure_cases.h"
#include "bench/sim_machine.h"
#include "tests/support/temp_dir.h"

namespace q71x::bench {

class PreparedCase {
 public:
  PreparedCase(const ProcedureCase& procedureCase, bool latencyModel);
  PreparedCase(const PreparedCase&) = delete;
  PreparedCase& operator=(const PreparedCase&) = delete;

  // Empty when the case is ready; else why it is not.
  const std::string& Problem() const { return problem_; }
  const ProcedureCase& Case() const { return case_; }
  SimMachine& Machine() { return machine_; }
  BenchWindow& Window() { return window_; }
  const sim::Enclosure* Device() const { return device_; }
  const std::string& DevicePath() const { return path_; }

  // The procedure's own result.
  int Run();

 private:
  bool WriteImage();

  const ProcedureCase& case_;
  testing::TempDir folder_;
  SimMachine machine_;
  BenchWindow window_;
  sim::Enclosure* device_ = nullptr;
  std::string path_;
  std::string problem_;
};

}  // namespace q71x::bench
