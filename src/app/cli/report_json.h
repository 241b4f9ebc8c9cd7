// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The JSON forms of the session's records, as docs/cli.md documents them.

#include <nlohmann/json.hpp>

#include "src/app/cli/auto_backup.h"
#include "src/app/cli/cli_session.h"
#include "src/app/cli/kept_backups.h"

namespace q71x::cli {

// The facets the identity holds, as reports and backup records both give them: a facet the
// unit lacks is left out, and a placeholder serial is shown apart, since it names no unit.
nlohmann::json IdentityJson(const UnitIdentity& unit);
nlohmann::json DeviceJson(const DeviceFacts& device);
nlohmann::json ImageCheckJson(const ImageCheck& check);
nlohmann::json RunJson(const RunReport& run);
nlohmann::json AutoBackupJson(const AutoBackup& backup);
nlohmann::json KeptBackupJson(const KeptBackup& backup);

}  // namespace q71x::cli
