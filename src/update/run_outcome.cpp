// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/run_outcome.h"

namespace q71x {

std::string_view RunVerdictName(RunVerdict verdict) {
  switch (verdict) {
    case RunVerdict::Succeeded:
      return "succeeded";
    case RunVerdict::Failed:
      return "failed";
    case RunVerdict::Refused:
      return "refused";
  }
  return "";
}

std::string_view RunStepName(RunStep step) {
  switch (step) {
    case RunStep::Prepare:
      return "prepare";
    case RunStep::Backup:
      return "backup";
    case RunStep::Erase:
      return "erase";
    case RunStep::BlankCheck:
      return "blank-check";
    case RunStep::Program:
      return "program";
    case RunStep::Verify:
      return "verify";
    case RunStep::Restore:
      return "restore";
  }
  return "";
}

std::string_view FailureReasonName(FailureReason reason) {
  switch (reason) {
    case FailureReason::None:
      return "none";
    case FailureReason::InputRefused:
      return "input-refused";
    case FailureReason::CommandFailed:
      return "command-failed";
    case FailureReason::BackupNotSaved:
      return "backup-not-saved";
    case FailureReason::NotBlank:
      return "not-blank";
    case FailureReason::EraseIncomplete:
      return "erase-incomplete";
    case FailureReason::NotProgrammed:
      return "not-programmed";
    case FailureReason::Mismatch:
      return "mismatch";
    case FailureReason::AreaNotRestored:
      return "area-not-restored";
  }
  return "";
}

}  // namespace q71x
