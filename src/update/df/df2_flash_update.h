// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The firmware update of 1394-attached QVK846 bridges (chip type 7 on an sbp2 path): the entry
// point the Run button calls and the programming procedure behind it.

#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// Sets FlashPageSize to 256, then runs the erase-only action (always followed by the
// power-cycle box, result 1), the backup-only action (the whole FirmwareSize range) or
// programming, by the engineering ticks. The chosen operation's result.
int UpdateDf2Flash(ToolWindow& window, const std::string& devicePath);

// Programs the image file from address 0 in 256-byte blocks (at least the 32 KB firmware area;
// a larger image also replaces the configuration area at 0x8000), reads it back and compares.
// 0 with "Open File Error!!" and no box when the image cannot be opened; otherwise 1, with the
// outcome in the status field and the power-cycle box after it.
int ProgramDf2Flash(ToolWindow& window, const std::string& devicePath);

}  // namespace q71x
