// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The update of the bridges that erase, program and read their serial flash with their own block
// commands (chip types 1, 3, 4, 12, USB-attached 7, and 14 with a flash). Images of at most 32 KB
// keep the 512-byte configuration copy at flash address 0x8000: two agreeing reads before the
// erase; every stop after the erase puts it back where it no longer reads as saved, and a copy
// that cannot be put back is no success.

#include <cstdint>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// The area is never smaller than the lower 32 KB sector, which the image always owns.
inline constexpr std::uint32_t kSerialFlashMinimumArea = 32768;
// The configuration copy lives here, right above the lower sector. It survives only when the
// image does not reach into the upper sector.
inline constexpr std::uint32_t kConfigCopyAddress = 0x8000;
inline constexpr std::uint32_t kConfigCopyBytes = 512;
inline constexpr std::uint32_t kConfigCopyKeptUpTo = 32768;
// Above the boot sectors of an AMIC part the upper half, and the copy with it, is erased through
// the sector at this address.
inline constexpr std::uint32_t kAmicUpperSectorAddress = 0xF000;

// One Run: the erase-only or backup-only action when "RD Version" asks for it, else the full
// update. 0 when it stopped before programming (or the final read-back failed), 1 when the
// programming loop ran or an engineering action succeeded. The outcome for the operator is the
// status text and the power-cycle box.
int UpdateSerialFlash(ToolWindow& window, const std::string& devicePath);

}  // namespace q71x
