// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The update of the bridges that keep a 4 KB configuration area (NVRAM) in the first 4096 bytes
// of their serial flash (chip type 6, and chip type 10 on its older path). The device's own area
// is kept unless the image brings one and "Include 4K NVRAM" is ticked; a run that stops after
// the erase, before block 0 is proven, puts the kept area back.

#include <cstdint>
#include <string>

#include "src/update/tool_window.h"

namespace q71x {

// The device's configuration area: the first 4 KB of the flash, in the erase unit at 0.
inline constexpr std::uint32_t kNvramAreaBytes = 4096;

// One Run. Sets FileHasNvram from the image. 0 when it stopped before the erase began, 1 once it
// reached the erase (whatever the outcome) or when an engineering action succeeded.
int UpdateFlashWithNvram(ToolWindow& window, const std::string& devicePath);

}  // namespace q71x
