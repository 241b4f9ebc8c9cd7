// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The firmware update of the DF-family bridges (chip types 8, 9, 11 and the later type 10 parts):
// the entry point the Run button calls and the programming procedure behind it.

#include <cstdint>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// The image is programmed in whole multiples of this, the padding 0x00.
inline constexpr std::uint32_t kDfProgramGranule = 256;

// Sets FlashPageSize to 8192, then runs the erase-only action (with the power-cycle box when it
// succeeded), the backup-only action (leaving out the configuration area unless "Include 4K
// NVRAM" is ticked) or programming, by the engineering ticks. The chosen operation's 1 or 0.
int UpdateDfFlash(ToolWindow& window, const std::string& devicePath);

// Programs the image file from address 0, keeping the device's 4 KB configuration area unless
// "Include 4K NVRAM" is ticked (taken only from two agreeing reads, else nothing is written),
// and verifies it by reading back; up to three attempts with block, sector and whole-flash erase
// marks. When every attempt failed, a kept configuration area that no longer reads back as
// saved is put back. 1 once the attempts ran (success or not: the status field tells), 0 when
// the run stopped before writing anything.
int ProgramDfFlash(ToolWindow& window, const std::string& devicePath);

}  // namespace q71x
