#pragma once
// restore DEVICE [BACKUP]: a backup this program took (an automatic one, or a `backup` file with
// its record beside it) written back through the device's own update procedure. Without BACKUP,
// the newest intact automatic backup of the device. Before anything is written the backup must
// prove itself: its record read, its size and SHA-256 as the record names them, its chip the
// device's, read through the procedure the device updates through, and the whole firmware memory.
// Then the confirmation and the automatic backup of what the device holds now, as for update.

#include "src/app/cli/cli_environment.h"
#include "src/app/cli/cli_session.h"
#include "src/app/cli/verbs.h"

namespace q71x::cli {

VerbOutcome Restore(CliSession& session, const VerbRequest& request, CliEnvironment& env,
                    const DeviceFacts& device);

}  // namespace q71x::cli
