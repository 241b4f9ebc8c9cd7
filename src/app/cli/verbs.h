// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The verbs: each one a short sequence of operator steps on the core, ending in an exit code, a
// message, and the facts for the report.

#include <string>

#include <nlohmann/json.hpp>

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/cli_session.h"
#include "src/app/cli/exit_codes.h"

namespace q71x::cli {

struct VerbRequest {
  std::string Verb;  // list, info, check, backup, update, erase, verify, restore
  std::string Device;
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

VerbOutcome RunVerb(CliSession& session, const VerbRequest& request, CliEnvironment& env);

}  // namespace q71x::cli
