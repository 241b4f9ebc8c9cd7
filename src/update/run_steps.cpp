// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/run_steps.h"

#include <algorithm>

#include "src/update/status_reporting.h"

namespace q71x {
namespace {

bool TouchesMemory(RunStep step) {
  return step == RunStep::Erase || step == RunStep::Program || step == RunStep::Restore;
}

// What a stop without a failed command means in each step: the step's own check said no.
FailureReason ReasonOfStep(RunStep step) {
  switch (step) {
    case RunStep::Prepare:
      return FailureReason::InputRefused;
    case RunStep::Backup:
      return FailureReason::BackupNotSaved;
    case RunStep::Erase:
      return FailureReason::EraseIncomplete;
    case RunStep::BlankCheck:
      return FailureReason::NotBlank;
    case RunStep::Program:
      return FailureReason::NotProgrammed;
    case RunStep::Verify:
      return FailureReason::Mismatch;
    case RunStep::Restore:
      return FailureReason::AreaNotRestored;
  }
  return FailureReason::InputRefused;
}

// The share of the declared phases done: those before `step` whole, `step` by `fraction`.
// -1 when the run did not declare `step`.
int PercentAt(const RunRecord& run, RunStep step, std::uint64_t done, std::uint64_t total) {
  int before = 0;
  int whole = 0;
  int found = -1;
  for (std::size_t i = 0; i < run.PhaseCount; ++i) {
    if (found < 0 && run.Phases[i].Step == step) {
      found = run.Phases[i].Weight;
      continue;
    }
    if (found < 0) {
      before += run.Phases[i].Weight;
    }
    whole += run.Phases[i].Weight;
  }
  if (found < 0 || whole + found <= 0) {
    return -1;
  }
  const std::uint64_t share = total == 0 ? 0 : std::min(done, total) * found / total;
  return static_cast<int>((before + share) * 100 / static_cast<std::uint64_t>(whole + found));
}

// The share never goes back (a procedure that tries its steps again starts them over) and stays
// below 100 until the run succeeded.
void Reach(ToolWindow& window, int percent) {
  RunRecord& run = window.Run();
  const int capped = std::min(percent, 99);
  if (capped > run.Percent) {
    run.Percent = capped;
    window.ShowRunPercent(capped);
  }
}

}  // namespace

void StartRun(ToolWindow& window) {
  window.Run() = RunRecord{};
  ForgetFailedCommand();
  window.ShowRunPercent(0);
}

void DeclarePhases(ToolWindow& window, std::initializer_list<PhaseWeight> phases) {
  RunRecord& run = window.Run();
  run.PhaseCount = std::min(phases.size(), kMaxPhases);
  std::copy_n(phases.begin(), run.PhaseCount, run.Phases.begin());
}

void EnterStep(ToolWindow& window, RunStep step) {
  RunRecord& run = window.Run();
  if (run.Stopped) {
    return;
  }
  run.Outcome.Step = step;
  run.Outcome.MemoryChanged = run.Outcome.MemoryChanged || TouchesMemory(step);
  // A command that failed before this step was passed over by the procedure.
  ForgetFailedCommand();
  if (const int percent = PercentAt(run, step, 0, 1); percent >= 0) {
    Reach(window, percent);
  }
}

void StepProgress(ToolWindow& window, std::uint64_t done, std::uint64_t total) {
  const RunRecord& run = window.Run();
  if (const int percent = PercentAt(run, run.Outcome.Step, done, total); percent >= 0) {
    Reach(window, percent);
  }
}

RangeRead CountingProvenReads(ToolWindow& window, RangeRead read) {
  constexpr std::uint64_t kReads = 2;
  return [&window, read = std::move(read), done = std::uint64_t{0}](
             ReadPass pass, std::uint8_t* buffer, std::size_t length) mutable {
    const int result = read(pass, buffer, length);
    StepProgress(window, ++done, kReads);
    return result;
  };
}

void MarkStopped(ToolWindow& window, std::optional<FailureReason> reason) {
  RunRecord& run = window.Run();
  if (run.Stopped) {
    return;
  }
  run.Stopped = true;
  run.StopReason = reason;
  run.Outcome.Command = LastFailedCommand();
}

void ClaimSuccess(ToolWindow& window) {
  window.Run().SuccessClaimed = true;
}

void AskPowerCycle(ToolWindow& window, std::string_view text) {
  window.Run().Outcome.PowerCycleAsked = true;
  ShowMessage(text);
}

const RunOutcome& FinishRun(ToolWindow& window, int result) {
  RunRecord& run = window.Run();
  RunOutcome& outcome = run.Outcome;
  if (run.SuccessClaimed && !run.Stopped && result == 1) {
    outcome.Verdict = RunVerdict::Succeeded;
    outcome.Reason = FailureReason::None;
    outcome.Command.reset();
    run.Percent = 100;
    window.ShowRunPercent(100);
    return outcome;
  }
  if (!run.Stopped) {
    outcome.Command = LastFailedCommand();
  }
  if (outcome.Command) {
    outcome.Reason = FailureReason::CommandFailed;
  } else {
    outcome.Reason = run.StopReason.value_or(ReasonOfStep(outcome.Step));
  }
  const bool refused =
      !outcome.MemoryChanged && !outcome.Command && outcome.Step == RunStep::Prepare;
  outcome.Verdict = refused ? RunVerdict::Refused : RunVerdict::Failed;
  return outcome;
}

}  // namespace q71x
