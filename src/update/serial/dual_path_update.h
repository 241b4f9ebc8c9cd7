// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The update of chip type 10 bridges with an SST flash that answered BF 25: the bridge erases and
// reads back, but the host programs the flash itself through raw flash commands. The image is
// written unchanged from address 0, its configuration area included.

#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// One Run. Ticks "Include 4K NVRAM" for good. 0 when it stopped before the erase began, 1 once
// it reached the erase (whatever the outcome) or when an engineering action succeeded.
int UpdateSerialFlashSpi(ToolWindow& window, const std::string& devicePath);

}  // namespace q71x
