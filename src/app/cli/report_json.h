// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The JSON forms of the session's records, as docs/cli.md documents them.

#include <nlohmann/json.hpp>

#include "src/tool/backups/auto_backup.h"
#include "src/tool/backups/device_comparison.h"
#include "src/tool/backups/kept_backups.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {

nlohmann::json DeviceJson(const DeviceFacts& device);
nlohmann::json ImageCheckJson(const ImageCheck& check);
nlohmann::json RunJson(const RunReport& run);
nlohmann::json AutoBackupJson(const AutoBackup& backup);
nlohmann::json KeptBackupJson(const KeptBackup& backup);
nlohmann::json ComparisonJson(const DeviceComparison& comparison);

}  // namespace q71x::cli
