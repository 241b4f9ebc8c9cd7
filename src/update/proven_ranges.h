// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The ranges of each family's memory as a proven read sees them: where the read command names an
// address and a length, the second pass is cut at another place than the first, so a bridge that
// spoils one command block the same way every time cannot make the two copies agree.

#include <cstdint>
#include <string>

#include "src/update/disk/disk_firmware_layout.h"
#include "src/update/proven_read.h"

namespace q71x {

// Serial flash from `address`, through the flash block read.
RangeRead FlashBlockRange(const std::string& devicePath, std::uint32_t address);

// The parallel flash from its first byte.
RangeRead ParallelFlashRange(const std::string& devicePath);

// A disk's firmware area from block `lba`; the second pass is cut at a whole block.
RangeRead FwAreaRange(const std::string& devicePath, const DiskAreaFacts& facts, std::uint64_t lba);

}  // namespace q71x
