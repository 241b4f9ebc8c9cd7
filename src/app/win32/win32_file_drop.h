// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Files dropped from Explorer onto the window. The tool runs as an administrator and Explorer
// does not: the system drops the messages of a drag from the lower integrity level unless the
// window lets them through.

#include <windows.h>

namespace q71x::win32 {

// The window takes WM_DROPFILES, and the messages that carry the dropped names to it, from
// programs of any integrity level.
void AcceptFilesFromExplorer(HWND window);

}  // namespace q71x::win32
