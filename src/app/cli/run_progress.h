// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The progress of the runs of one command line: each run is a phase (the automatic backup, then
// the update or the erase) whose share is what the procedure reports from the phases it declared,
// shown on a display with the data bytes the platform moved.

#include <cstdint>
#include <functional>
#include <memory>

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/progress_display.h"
#include "src/app/cli/progress_meter.h"
#include "src/tool/session/run_observer.h"

namespace q71x::cli {

// At most this often a display is redrawn.
inline constexpr std::uint64_t kProgressIntervalMs = 100;

class RunProgress final : public RunObserver {
 public:
  using Clock = std::function<std::uint64_t()>;  // milliseconds, never going back
  RunProgress(std::unique_ptr<ProgressDisplay> display, Clock clock);

  // Bytes the platform moved; counted only while a run is in progress.
  void Moved(std::uint64_t bytes);

  void RunStarting(EngineeringAction action, UpdateProcedure procedure,
                   std::uint32_t firmwareSize) override;
  void RunPercent(int percent) override;
  void RunEnded(const RunReport& report) override;

 private:
  std::unique_ptr<ProgressDisplay> display_;
  Clock clock_;
  ProgressMeter meter_{kProgressIntervalMs};
};

// JSON lines with --json --progress, a bar when standard error is a terminal; null otherwise.
std::unique_ptr<RunProgress> MakeRunProgress(bool json, bool progress, const CliEnvironment& env);

}  // namespace q71x::cli
