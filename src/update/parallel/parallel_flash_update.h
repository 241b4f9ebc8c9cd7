// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The bridges that keep their firmware in a 64 KB parallel NOR flash. The bridge plays the JEDEC
// software-command sequences the host hands it, so every operation that erases or programs takes
// the part the operator chose in the flash-type list (its item index): the part decides the
// unlock addresses, and a wrong choice leaves the flash as it was.

#include <cstdint>
#include <string>
#include <string_view>

#include "src/update/tool_window.h"

namespace q71x {

// Erase, program, read-back and backup always cover the whole part from address 0.
inline constexpr std::uint32_t kParallelFlashSize = 65536;

// Run's status when the bridge refuses the switch to its internal ROM: an A1 bridge, which runs
// from its ROM already, always does.
inline constexpr std::string_view kCantSwitchToRomText = "Can't switch to internal ROM";

// Asks the bridge until it reports idle: 1 at the first idle answer, 0 after 100 groups of 500
// busy answers. No pause between questions; a failed question counts as busy.
int WaitParallelFlashIdle(const std::string& devicePath);

// Erase only: chip erase with the part's sequence, then a blank check of the whole part.
// 0 when the erase sequence cannot be loaded or the flash is not blank, 1 otherwise, and 1 with
// the power-cycle box also when the start is refused, the bridge never reports idle or the
// read-back fails: the erase has been handed to the bridge by then.
int EraseParallelFlashAll(ToolWindow& window, const std::string& devicePath, int part);

// Backup only: the whole part into the backup file ("oldflash.bak" when the field is empty).
// 1 only when every byte reached the file.
int BackupParallelFlash(ToolWindow& window, const std::string& devicePath);

// The Run action for the parallel-flash chip types: switch to internal ROM (unless "A1 Chip" is
// ticked), then erase only, backup only, or erase, program and compare the image named in the
// firmware-file field. 1 after "Programming & Compare Success!!" or a successful engineering
// action, else 0.
int UpdateParallelFlash(ToolWindow& window, const std::string& devicePath, int part);

}  // namespace q71x
