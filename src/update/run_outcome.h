// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a run of an update procedure did, in types: whether it succeeded, failed or refused, the
// step it reached, why it stopped (with the failing command's pass-through result and sense),
// whether the device's memory was touched and whether the operator is asked for a power cycle.
// The status texts and boxes stay what the operator reads; callers without an operator (the
// command line, the campaign, the benchmarks) read this instead of matching texts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "src/device/failed_command.h"

namespace q71x {

enum class RunVerdict : std::uint8_t {
  Succeeded,  // the procedure proved what it was asked to do
  Failed,     // it stopped after it had sent something that changes or reads the device
  Refused,    // it stopped on its own checks, before the device's memory was touched
};

// The steps of a run in the order a procedure passes them. Every procedure starts in Prepare
// (inputs, buffers, the kept area read, what the system carries); the others it enters as it goes.
enum class RunStep : std::uint8_t { Prepare, Backup, Erase, BlankCheck, Program, Verify, Restore };

enum class FailureReason : std::uint8_t {
  None,             // succeeded
  InputRefused,     // the file, a buffer, a size or the system refused before the device
  CommandFailed,    // a command failed: see the outcome's Command
  BackupNotSaved,   // the backup's reads did not agree, or the file could not be written
  NotBlank,         // the erase left bytes that do not read as erased
  EraseIncomplete,  // the erase did not finish as the flash reports it
  NotProgrammed,    // programming stopped short
  Mismatch,         // what was read back is not what was written
  AreaNotRestored,  // a kept area could not be put back
};

struct RunOutcome {
  RunVerdict Verdict = RunVerdict::Refused;
  RunStep Step = RunStep::Prepare;
  FailureReason Reason = FailureReason::InputRefused;
  std::optional<FailedCommand> Command;  // set with CommandFailed
  bool MemoryChanged = false;            // an erase, program or restore command was sent
  bool PowerCycleAsked = false;          // the power-cycle box was shown
};

// One phase a procedure declares up front, with its share of the whole run.
struct PhaseWeight {
  RunStep Step = RunStep::Prepare;
  int Weight = 0;
};
inline constexpr std::size_t kMaxPhases = 7;

// The running procedure's own account, kept with its window: the outcome so far, the phases it
// declared and the share of them done.
struct RunRecord {
  RunOutcome Outcome;
  std::array<PhaseWeight, kMaxPhases> Phases{};
  std::size_t PhaseCount = 0;
  int Percent = 0;
  bool SuccessClaimed = false;
  bool Stopped = false;  // the run failed; what follows only puts kept areas back
  std::optional<FailureReason> StopReason;
};

std::string_view RunVerdictName(RunVerdict verdict);
std::string_view RunStepName(RunStep step);
std::string_view FailureReasonName(FailureReason reason);

}  // namespace q71x
