// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Whether a kept backup may be written back to a device, decided before anything is sent: the
// file is the one its record names, inside the record's own folder; its bytes are the ones the
// record vouches for; it was read from this unit (or, where neither holds a serial number or
// GUID, from this model), through the procedure the device updates through; the restore writes
// nothing the backup does not hold; and it is not a snapshot of erased memory.

#include <string>
#include <vector>

#include "src/tool/backups/kept_backups.h"
#include "src/tool/session/headless_session.h"
#include "src/update/tool_window.h"

namespace q71x {

enum class RestoreDecision { Restore, Refuse };

struct RestoreVerdict {
  RestoreDecision Decision = RestoreDecision::Restore;  // Restore: the backup may be written
  std::string Refusal;
  std::vector<std::string> Notes;  // what the operator is told when it goes ahead
};

// Whether the backup's file is a plain file named by the record, beside it: no link, no "..",
// no other folder. Empty when it is; else why not.
std::string WhyOutsideRecordFolder(const KeptBackup& backup);

// Whether `record` names the model `device` is: chip type, revision and flash.
bool SameModel(const BackupRecord& record, const DeviceFacts& device);

// `force` takes an erased snapshot; `unitOverridden` (--force with the device's id spelled out) a
// backup that cannot be proven to be of this unit (a serial only one side holds, an old record
// without identity). Nothing overrides a contradiction or a file that is not whole.
RestoreVerdict JudgeRestore(const KeptBackup& backup, const DeviceFacts& device, ToolWindow& window,
                            bool force, bool unitOverridden);

}  // namespace q71x
