// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Steps the verbs share: a refusal with its code, the readable-file check, the judgement of a
// run, the confirmation before a write, and the automatic backup before one.

#include <cstdint>
#include <optional>
#include <string>

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/verbs.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {

VerbOutcome Fail(ExitCode code, std::string message);

// A file the run must read: missing is a usage error, unreadable is access denied.
std::optional<VerbOutcome> CheckReadable(const std::string& path);

// The run's code: only a run the procedure said succeeded is a success.
void Judge(VerbOutcome& outcome, const RunReport& run);

// The chip check on the image given: success when Run would take it, image refused when the
// check showed its mismatch box; the check's facts go into the outcome's "image".
VerbOutcome CheckImage(HeadlessSession& session, const VerbRequest& request,
                       const DeviceFacts& device);

// --yes, or a "y" typed at the terminal to `question`.
bool Confirmed(const std::string& question, const VerbRequest& request, CliEnvironment& env);
VerbOutcome NotConfirmed(const CliEnvironment& env);

// How many bytes from address 0 an update of the selected device with `imagePath` may change
// (update_footprint.h); the firmware size when the update would not take the image, which then
// refuses before it erases.
std::uint64_t UpdateReach(HeadlessSession& session, const DeviceFacts& device,
                          const std::string& imagePath);

// The automatic backup before a write that may change `reach` bytes from address 0 (its facts go
// into `outcome`); nullopt when it is proven or not wanted, else the refusal that stops the verb.
std::optional<VerbOutcome> BackupFirst(HeadlessSession& session, const DeviceFacts& device,
                                       const VerbRequest& request, CliEnvironment& env,
                                       VerbOutcome& outcome, std::uint64_t reach);

// A device whose configuration area waits in the recovery journal is not written: the run would
// keep what the flash holds now (erased or half-written bytes) as the device's configuration.
// An entry that only may be the device's stops it too, with the files and units named.
std::optional<VerbOutcome> RecoveryFirst(const DeviceFacts& device);

// `--unit ID` names the device the verb works on, or nothing: an id of another device is a usage
// error before anything is written. nullopt when it is fine.
std::optional<VerbOutcome> ForeignUnitNamed(const VerbRequest& request, const DeviceFacts& device);

// Whether the operator overrode an unproven unit for this device: --force with the device's own
// id spelled out after --unit.
bool UnitOverridden(const VerbRequest& request, const DeviceFacts& device);

// Why the journal's area does not go back on its own, with the way out where there is one.
std::string RecoveryRefusal(const DeviceFacts& device);

}  // namespace q71x::cli
