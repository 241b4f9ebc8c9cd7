// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The platform a command line works through, built over the machine's (or the simulated one):
// recorded to a trace when --trace asks for one, watched for devices the system refuses to
// open, and counted for the progress display.

#include <memory>
#include <optional>
#include <string>

#include "src/app/cli/refused_opens.h"
#include "src/app/cli/transfer_counter.h"
#include "src/device/platform/trace/recording_platform.h"
#include "src/device/platform/trace/trace_file.h"

namespace q71x::cli {

class RunPlatforms {
 public:
  // Creates the trace file, if one is asked for, before any device is touched.
  explicit RunPlatforms(const std::string& tracePath);
  RunPlatforms(const RunPlatforms&) = delete;
  RunPlatforms& operator=(const RunPlatforms&) = delete;

  // Why the trace cannot be written; empty when it can, or when none is asked for.
  const std::string& TraceProblem() const { return traceProblem_; }
  // Whether the system refused access to the trace's folder.
  bool TraceAccessDenied() const { return traceAccessDenied_; }

  // Builds the layers over `machine` (which must outlive them); `moved` hears of every data
  // byte moved. Returns what the run is to use.
  Platform& Over(Platform& machine, TransferCounter::Listener moved);
  const std::vector<std::string>& RefusedPaths() const { return refused_->Paths(); }
  // Puts the trace in place; an error message when it could not be saved whole.
  std::optional<std::string> Finish();

 private:
  std::optional<trace::TraceFile> trace_;
  std::string traceProblem_;
  bool traceAccessDenied_ = false;
  std::optional<trace::RecordingPlatform> recorder_;
  std::optional<RefusedOpens> refused_;
  std::optional<TransferCounter> counter_;
};

}  // namespace q71x::cli
