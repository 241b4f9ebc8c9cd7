// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// How a procedure keeps its run's account as it goes: the phases it will pass with their weights,
// the step it enters, the share of a step done, the point where it stopped, its success and the
// power-cycle request. The dispatcher starts and finishes the account around the procedure, and
// whatever the procedure did not say is taken from the step it reached and the command that
// failed in it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "src/update/proven_read.h"
#include "src/update/run_outcome.h"
#include "src/update/tool_window.h"

namespace q71x {

// A fresh account: nothing sent, 0 %.
void StartRun(ToolWindow& window);
// The phases this run passes, in order, each with its share of the whole.
void DeclarePhases(ToolWindow& window, std::initializer_list<PhaseWeight> phases);
// From here on the run is in `step`; an erase, program or restore step touches the memory.
void EnterStep(ToolWindow& window, RunStep step);
// `done` of `total` units of the current step are done.
void StepProgress(ToolWindow& window, std::uint64_t done, std::uint64_t total);
// `read` that reports each of the two reads of a proven read as half of the current step.
RangeRead CountingProvenReads(ToolWindow& window, RangeRead read);
// The run has failed here: the step and the failed command are kept as they are now, whatever
// the clean-up that follows sends. Without a failed command the reason is `reason`, or what the
// step checks.
void MarkStopped(ToolWindow& window, std::optional<FailureReason> reason = std::nullopt);
// The procedure proved what it was asked to do.
void ClaimSuccess(ToolWindow& window);
// Shows the power-cycle box and notes that it was asked for.
void AskPowerCycle(ToolWindow& window, std::string_view text);
// Settles the outcome once the procedure returned `result`; a run that claimed success ends at
// 100 %.
const RunOutcome& FinishRun(ToolWindow& window, int result);

}  // namespace q71x
