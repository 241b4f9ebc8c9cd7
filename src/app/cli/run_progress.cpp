// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/run_progress.h"

#include "src/tool/session/headless_session.h"

namespace q71x::cli {

RunProgress::RunProgress(std::unique_ptr<ProgressDisplay> display, Clock clock)
    : display_(std::move(display)), clock_(std::move(clock)) {}

void RunProgress::Moved(std::uint64_t bytes) {
  // The chip check's commands between runs are not counted (nor is the clock read for them).
  if (!meter_.Running()) {
    return;
  }
  if (const std::optional<ProgressSample> sample = meter_.Add(bytes, clock_())) {
    display_->Show(*sample);
  }
}

void RunProgress::RunStarting(EngineeringAction action, UpdateProcedure /*procedure*/,
                              std::uint32_t /*firmwareSize*/) {
  // The share comes from the phases the procedure declares; the bytes are shown as they move.
  display_->Show(meter_.BeginByShare(std::string(EngineeringActionName(action)), clock_()));
}

void RunProgress::RunPercent(int percent) {
  if (const std::optional<ProgressSample> sample = meter_.Reach(percent, clock_())) {
    display_->Show(*sample);
  }
}

void RunProgress::RunEnded(const RunReport& report) {
  if (meter_.Running()) {
    display_->Show(meter_.End(report.Claimed, clock_()));
  }
}

std::unique_ptr<RunProgress> MakeRunProgress(bool json, bool progress, const CliEnvironment& env) {
  if (env.Err == nullptr) {
    return nullptr;
  }
  if (json && progress) {
    return std::make_unique<RunProgress>(MakeJsonLines(*env.Err), env.SteadyMs);
  }
  if (env.ErrTerminal) {
    return std::make_unique<RunProgress>(MakeTerminalBar(*env.Err), env.SteadyMs);
  }
  return nullptr;
}

}  // namespace q71x::cli
