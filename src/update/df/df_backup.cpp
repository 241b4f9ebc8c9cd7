// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/df/df_backup.h"

#include "src/update/df/df_family.h"
#include "src/update/df/df_transfer.h"
#include "src/update/flash_backup.h"

namespace q71x {

int BackupDfFlashToFile(ToolWindow& window, const std::string& devicePath, std::uint32_t skip) {
  return BackupFlashThrough(window, kDfDefaultBackupName, skip,
                            DfFlashRange(window, devicePath, 0));
}

}  // namespace q71x
