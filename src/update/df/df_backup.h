// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The engineering backup-only action of the DF command family (the 1394 family uses it too).

#include <cstdint>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// Reads FirmwareSize bytes from flash address 0 with FlashPageSize blocks and writes bytes
// skip .. FirmwareSize-1 to the file named in the backup field, or to "oldFlash.bak" in the
// current directory after telling the operator when the field is empty. 1 only when every byte
// reached the file; 0 with the reason in the status field otherwise.
int BackupDfFlashToFile(ToolWindow& window, const std::string& devicePath, std::uint32_t skip);

}  // namespace q71x
