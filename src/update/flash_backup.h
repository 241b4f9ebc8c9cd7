// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The engineering "backup only" action shared by the flash families: read `FirmwareSize` bytes
// from flash address 0 in one go, twice, and write them, less the first `skip`, to the backup
// file only when both reads agree, with the status texts of the backup. The families differ only
// in how they read their flash and in the default file name.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "src/update/proven_read.h"
#include "src/update/tool_window.h"

namespace q71x {

// 1 when the backup file holds every byte it claims.
int BackupFlashThrough(ToolWindow& window, std::string_view defaultName, std::uint32_t skip,
                       const RangeRead& readFlash);

}  // namespace q71x
