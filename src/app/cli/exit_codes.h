// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The command line's exit codes. Scripts branch on them, so a value never changes meaning; the
// names are what the JSON document's "code" field carries.

namespace q71x::cli {

enum class ExitCode {
  Success = 0,
  OperationFailed = 1,  // the device operation ran and did not claim success, or could not start
  Usage = 2,            // the command line is wrong, or confirmation was not given
  NoSuchDevice = 3,     // no device, or a name that matches more than one
  ImageRefused = 4,     // the image does not belong to the chip (and --force was not given)
  AccessDenied = 5,     // the system refused access to a file the run needs
  // No longer produced: a done run that asks for a power cycle exits 0 with "power_cycle" in
  // its document, so that `&&` takes it. The value keeps its old meaning for scripts that test it.
  PowerCycle = 6,
  InUse = 7,  // another program owns the device; nothing was sent to it
};

// A stop request (SIGINT, SIGTERM, SIGHUP, a console event) that came while a run changed the
// device waited for the run to end; the process then exits with 128 + the signal's number (130,
// 143, 129), as a shell reports a process that signal ended, and the document's "code" is this.
inline constexpr const char* kStoppedCodeName = "stopped";

inline const char* ExitCodeName(ExitCode code) {
  switch (code) {
    case ExitCode::Success:
      return "ok";
    case ExitCode::OperationFailed:
      return "operation-failed";
    case ExitCode::Usage:
      return "usage";
    case ExitCode::NoSuchDevice:
      return "no-such-device";
    case ExitCode::ImageRefused:
      return "image-refused";
    case ExitCode::AccessDenied:
      return "access-denied";
    case ExitCode::PowerCycle:
      return "power-cycle";
    case ExitCode::InUse:
      return "in-use";
  }
  return "unknown";
}

}  // namespace q71x::cli
