// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Windows sized for the screen's DPI grow with it: at 144 or 192 DPI one placed beside another
// runs past the screen's edge unless it is moved back.

#include <windows.h>

namespace q71x::win32 {

// Moves the top-level window so that as much of it as fits lies within the work area of the
// monitor it is mostly on (the nearest one when it is on none): no part of it under the taskbar
// or off the screen, its top-left corner kept in view when it is larger than the work area.
void KeepOnWorkArea(HWND window);

}  // namespace q71x::win32
