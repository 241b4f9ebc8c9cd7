// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// restore DEVICE [BACKUP]: a backup this program took (an automatic one, or a `backup` file with
// its record beside it) written back through the device's own update procedure. Without BACKUP,
// the newest intact automatic backup of the unit (by its identity, never by the device path
// alone). Before anything is written the backup must prove itself (restore_checks.h). Then the
// confirmation and the automatic backup of everything the restore changes, as for update.

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/verbs.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {

VerbOutcome Restore(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                    const DeviceFacts& device);

}  // namespace q71x::cli
