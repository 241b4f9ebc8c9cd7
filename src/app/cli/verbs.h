// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The verbs: each one a short sequence of operator steps on the core, ending in an exit code, a
// message, and the facts for the report.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>
#include <optional>

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/exit_codes.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {

struct VerbRequest {
  std::string Verb;                  // list, info, check, backup, update, erase, verify, restore
  std::string Device;                // the one device of this run
  std::vector<std::string> Devices;  // several DEVICE arguments (verbs that take several)
  bool All = false;                  // --all: every bridge the verb's chip check accepts
  std::string File;  // the image (check, update, verify) or the backup file (backup, restore)
  bool Yes = false;
  bool Force = false;
  std::string ForcedUnitId;  // --unit: the device's id, spelled out with --force (journal)
  bool NoBackup = false;
  int FlashPart = -1;   // -1: the list's own choice
  bool A1Chip = false;  // tick "A1 Chip" (parallel-flash families)
};

struct VerbOutcome {
  ExitCode Code = ExitCode::Success;
  std::string Message;
  bool PowerCycle = false;  // done, and the enclosure must be powered off and on now
  std::string Hint;         // what the user may try instead, when a known failure has a remedy
  nlohmann::json Data = nlohmann::json::object();  // verb-specific members of the report
};

// What a verb's file argument is.
enum class VerbFile { None, Image, NewBackup, OptionalBackup };

// One verb of the command line: what it needs, and what runs it. A verb either works on the
// machine (Machine) or on one device that was chosen, claimed and checked (OnDevice).
struct VerbSpec {
  std::string_view Name;
  VerbFile File = VerbFile::None;
  bool Several = false;       // may name several devices, or --all, each run side by side
  bool Writes = false;        // changes the device: confirmed first (--yes or the terminal)
  bool TakesUnit = false;     // --force --unit ID names the device a journal area goes back to
  bool AsksRecovery = false;  // the chip check's recovery question goes to the operator
  VerbOutcome (*Machine)(HeadlessSession&, CliEnvironment&) = nullptr;
  VerbOutcome (*OnDevice)(HeadlessSession&, const VerbRequest&, CliEnvironment&,
                          const DeviceFacts&) = nullptr;
};

// Null for a name that is no verb.
const VerbSpec* FindVerb(std::string_view name);

// The device request.Device names, made this program's own and checked; its facts, or the
// refusal that stops the verb.
struct ChosenDevice {
  std::optional<DeviceFacts> Device;
  VerbOutcome Refusal;
};
ChosenDevice ChooseAndClaim(HeadlessSession& session, const VerbRequest& request);

// The verb on the device `chosen` (from ChooseAndClaim), with the device's facts in its report.
VerbOutcome RunVerbOn(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                      const DeviceFacts& chosen);

VerbOutcome RunVerb(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env);

}  // namespace q71x::cli
