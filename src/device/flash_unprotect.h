// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Clearing the block-protect bits of a serial flash before it is erased or programmed.

#include <string>

namespace q71x {

// WRITE ENABLE, wait for the write-enable latch, WRITE STATUS 00, wait for idle. Every step runs
// whatever an earlier one gave; 1 only when all four succeeded.
int UnprotectSerialFlash(const std::string& devicePath);

}  // namespace q71x
