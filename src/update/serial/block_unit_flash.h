// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The fixed units of the 16 KB block procedures: 32 KB sectors, each proven blank right after its
// erase, and 16 KB blocks, each read back and compared as soon as it is written, so a fault stops
// the run at the unit where it shows.

#include <cstdint>
#include <functional>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

inline constexpr std::uint32_t kEraseSectorBytes = 32768;
inline constexpr std::uint32_t kProgramBlockBytes = 16384;

// length rounded up to whole 16 KB blocks, and the 32 KB sectors that cover such an area.
std::uint64_t RoundUpToBlocks(std::uint64_t length);
std::uint32_t SectorsCovering(std::uint64_t area);

// Shows "Erasing", then erases sectorCount sectors from address 0, a "." for each, and reads
// both halves of each back into `scratch` (16 KB) to prove them blank. 1 on success, else 0 after
// showing why.
int EraseSectorsProvenBlank(ToolWindow& window, const std::string& devicePath,
                            std::uint32_t sectorCount, std::uint8_t* scratch);

// Programs `length` bytes at `address` of an erased flash; 1 when the flash took them.
using BlockWriter =
    std::function<int(std::uint32_t address, const std::uint8_t* data, std::uint32_t length)>;

// Waits for the flash, writes the bytes, waits again and reads them back into `scratch` to
// compare. A refused write and a refused read-back both show "Write command fail!", a difference
// "Data compare fail !!"; 1 only when the flash holds the bytes. `afterWrite` runs between the
// write and the read-back.
int WriteVerifiedBlock(ToolWindow& window, const std::string& devicePath, std::uint32_t address,
                       const std::uint8_t* data, std::uint32_t length, std::uint8_t* scratch,
                       const BlockWriter& write, const std::function<void()>& afterWrite = {});

}  // namespace q71x
