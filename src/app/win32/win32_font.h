// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window's font: "MS Sans Serif" where the system has it, else the nearest sans face of the
// same metrics, in the order the Qt window tries them, so both windows set text alike.

#include <windows.h>

#include <string>

namespace q71x::win32 {

// The first face of the fall-back list that the system has installed.
std::wstring WindowFontFace();
// `height` as a LOGFONT height (negative: character height in pixels at 96 dpi), scaled to `dpi`.
HFONT CreateWindowFont(int height, int dpi);

}  // namespace q71x::win32
