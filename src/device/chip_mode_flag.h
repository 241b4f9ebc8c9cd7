// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The controller-memory mode flag the run dispatch reads for chip type 10 to choose its update
// path.

#include <string>

namespace q71x {

// ReadChipMemory of 4 bytes at 505E; 1 when it succeeds and bytes 1 and 2 read 00 01, else 0.
int CheckChipModeFlag(const std::string& devicePath);

}  // namespace q71x
