// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Opening a serial flash for erase and program before a procedure touches it: ATMEL parts need
// their write-enable latch up, and the ST/EON/MXIC and MXIC parts ship with block protection on.

#include <string>

#include "src/update/status_reporting.h"
#include "src/update/tool_window.h"

namespace q71x {

// WRITE ENABLE on an ATMEL part (AtmelFlashPart not -1) and the wait for its latch, then the
// unprotect sequence for vendors whose parts ship protected. Returns 0, after reporting it, when
// the latch did not come up; the unprotect outcome is not looked at (a part that refuses it refuses
// the erase).
int OpenFlashForWrite(ToolWindow& window, const std::string& devicePath, StatusStyle style);

}  // namespace q71x
