// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Erasing through the DF command family: the bridge erases when a written block carries an erase
// mark, so erasing means writing 0xFF behind the right mark.

#include <cstdint>
#include <string>

#include "src/update/df/df_write_pass.h"
#include "src/update/tool_window.h"

namespace q71x {

// Programs `length` bytes of 0xFF from address 0 behind a sector mark on every sector not yet
// marked in `pass`, posting "Erase..." first. The result of the underlying write; 0 without a
// command when the pattern cannot be allocated.
int EraseDfFlashBySectors(ToolWindow& window, DfWritePass& pass, const std::string& devicePath,
                          std::uint32_t length);

// The engineering erase-only action: erases FirmwareSize bytes from 0 with one erase command,
// proves them blank (erasing again once if needed) and, unless "Include 4K NVRAM" is ticked,
// puts the configuration area back. The area is saved from two agreeing reads before the erase
// and read back after it is written. 1 when the flash was erased, found blank and the
// configuration area (when kept) reads back as saved; else 0 with the reason in the status field.
// A run that stops after the erase command still puts the kept area back before it reports.
// A blank check whose read fails counts as blank.
int EraseAllDfFlash(ToolWindow& window, const std::string& devicePath);

// The blank check of the erase-only actions: reads `length` bytes from address 0 into
// `readBack` and is true only when the read succeeded and found nothing but 0xFF. A read the
// bridge refuses proves nothing, so it does not count as blank: taken for blank, it let an erase
// that left bytes behind end on the success text.
bool DfFlashReadsBlank(ToolWindow& window, const std::string& devicePath, std::uint8_t* readBack,
                       std::uint32_t length);

}  // namespace q71x
