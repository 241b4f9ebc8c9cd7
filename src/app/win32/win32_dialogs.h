// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The process-wide message boxes and open-file dialog as Windows draws them (MessageBoxW,
// GetOpenFileNameW), owned by the window that is active when they open.

namespace q71x::win32 {

void InstallWin32Dialogs();

}  // namespace q71x::win32
