// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Bridges that keep their firmware in a reserved area near the end of the attached disk. The area
// is reached with the disk's own READ and WRITE commands; where it lies follows from the area
// base the bridge reports, and programming stores that base in a descriptor inside the area so
// that a later look finds the same place.

#include <cstdint>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// The image is padded with 0x00 to a multiple of this, then written in whole 64 KB blocks.
inline constexpr std::uint64_t kDiskImagePadding = 256;

// The Run action: erase only or backup only when "RD Version" and the action box are ticked,
// else programming; a successful erase or programming ends with the power-cycle box.
int UpdateDiskFirmware(ToolWindow& window, const std::string& devicePath);

// Overwrites the first 64 KB of the area with zeros, keeping the descriptor when firmware is
// present, and proves it by reading back. 1 only when every command succeeded and the read-back
// equals what was written.
int EraseDiskFirmware(ToolWindow& window, const std::string& devicePath, ChipType chipType);

// FirmwareSize bytes from the start of the area into the backup file ("oldFlash.bak" when the
// field is empty). 1 only when every byte reached the file.
int BackupDiskFirmware(ToolWindow& window, const std::string& devicePath, ChipType chipType);

// Writes the image named in the firmware-file field, padded with zeros to whole 64 KB blocks and
// carrying the descriptor, block by block with a read-back compare of each. 1 when every block
// was written, read back and found equal.
int ProgramDiskFirmware(ToolWindow& window, const std::string& devicePath, ChipType chipType);

}  // namespace q71x
