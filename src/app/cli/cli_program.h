// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// q71xfw's command line: the arguments parsed, the machine chosen (the real one, or the
// simulated one with its state folder), one verb run, and its report written as text or as one
// JSON document. Returns the exit code.

#include <string>
#include <vector>

#include "src/app/cli/cli_environment.h"

namespace q71x::cli {

// The JSON document's schema version; docs/cli.md describes it.
inline constexpr int kReportSchemaVersion = 1;

int RunCommandLine(const std::vector<std::string>& args, CliEnvironment& env);

}  // namespace q71x::cli
