// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/run_platforms.h"

#include <cerrno>

#include "src/host/utf8_path.h"

namespace q71x::cli {

RunPlatforms::RunPlatforms(const std::string& tracePath) {
  if (tracePath.empty()) {
    return;
  }
  trace_.emplace(PathFromUtf8(tracePath));
  const SafeWriteStatus opened = trace_->Open();
  if (opened != SafeWriteStatus::Written) {
    // Nothing after the failed create touches errno: it still says why.
    traceAccessDenied_ =
        opened == SafeWriteStatus::NotCreated && (errno == EACCES || errno == EPERM);
    traceProblem_ = "cannot write the trace: " + trace_->Reason();
    trace_.reset();
  }
}

Platform& RunPlatforms::Over(Platform& machine, TransferCounter::Listener moved) {
  Platform* base = &machine;
  if (trace_) {
    recorder_.emplace(machine, trace_->Stream());
    base = &*recorder_;
  }
  refused_.emplace(*base);
  counter_.emplace(*refused_, std::move(moved));
  return *counter_;
}

std::optional<std::string> RunPlatforms::Finish() {
  if (trace_ && trace_->Finish() != SafeWriteStatus::Written) {
    return "the trace could not be saved whole: " + trace_->Reason();
  }
  return std::nullopt;
}

}  // namespace q71x::cli
