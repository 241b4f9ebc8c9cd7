// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Arrivals and removals of USB devices as the window's WM_DEVICECHANGE: the registration a window
// needs to be told, and its release.

#include <windows.h>

namespace q71x::win32 {

// Null when Windows refused; hot-plug then never triggers, which nobody is told about.
HDEVNOTIFY RegisterUsbDeviceNotification(HWND window);
void UnregisterUsbDeviceNotification(HDEVNOTIFY registration);

}  // namespace q71x::win32
