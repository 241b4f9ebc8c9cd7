// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The flash operations every serial-flash procedure shares: the erase-only and backup-only
// engineering actions and the sector-by-sector erase behind them. They read FirmwareSize,
// FlashPageSize, AtmelFlashPart and the backup-name field and write only the status text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// The backup reads this many bytes less, leaving out the configuration area at the flash start.
inline constexpr std::uint32_t kConfigAreaSkip = 4096;

// AMIC parts with boot sectors (AmicFlashPart 1, 3 and 5) split the lower 32 KB into sectors of
// 4, 4, 8 and 16 KB; each is erased through one address inside it.
inline constexpr std::array<std::uint32_t, 4> kAmicBootSectorAddresses = {0x0000, 0x1000, 0x3000,
                                                                          0x7000};
bool IsAmicBootSectorPart(int amicFlashPart);

// Erases FirmwareSize bytes from address 0 (chip erase on an ATMEL part, else sector by sector,
// plus every boot sector of an AMIC boot-sector part) and proves them blank. 1 on success. A
// read-back that fails counts as blank.
int EraseAllFlash(ToolWindow& window, const std::string& devicePath);

// Erases length bytes in FlashPageSize steps from address 0. 1 when every erase command
// succeeded and at least one was sent.
int EraseFlashBySectors(ToolWindow& window, const std::string& devicePath, std::uint32_t length);

// Writes flash bytes skip .. FirmwareSize-1 to the file named in the backup field, or to
// "oldflash.bak" in the current directory when the field is empty. 1 only when the whole file
// was written and closed.
int BackupFlashToFile(ToolWindow& window, const std::string& devicePath, std::uint32_t skip);

// True when every byte reads as erased NOR flash (0xFF).
bool IsErased(const std::uint8_t* data, std::size_t length);

}  // namespace q71x
