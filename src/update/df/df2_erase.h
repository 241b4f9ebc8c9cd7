// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The engineering erase-only action of the 1394-attached QVK846 bridges.

#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// Saves the 1 KB configuration area at 0x8000 (from two agreeing reads, else nothing is erased),
// erases both erase units (0 and 0x8000) with one flagged 0xFF block each, proves FirmwareSize
// bytes from 0 blank, writes the configuration area back and reads it back; a stop after the
// first erase command puts the area back before it reports. Every outcome is reported in the
// status field only; the result is always 1, so the power-cycle request follows every run. A
// blank check whose read fails counts as blank.
int EraseAllDf2Flash(ToolWindow& window, const std::string& devicePath);

}  // namespace q71x
