// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Whether controller byte 0x506A refuses to be cleared: a guarded read-modify-restore.

#include <cstdint>
#include <string>

namespace q71x {

inline constexpr std::uint16_t kToggleByteAddress = 0x506A;

// 1 when the byte still reads 1 after 0 was written to it, else 0. The byte read first is
// written back in every case (flipped in its lowest bit when the probe answers 1), except when
// that first read failed: then nothing trustworthy was saved and nothing is written back.
int ToggleBitProbe(const std::string& devicePath);

}  // namespace q71x
