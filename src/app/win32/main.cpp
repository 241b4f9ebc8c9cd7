// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfwtool for Windows: the native window over the Windows backend, real bridges. It takes no
// options.

#include <windows.h>

#include <exception>

#include "src/app/win32/win32_dialogs.h"
#include "src/app/win32/win32_program.h"
#include "src/app/win32/win32_window.h"
#include "src/device/platform/win32/win32_platform.h"
#include "src/host/dll_search.h"
#include "src/host/unit_lock.h"
#include "src/host/user_dialogs.h"
#include "src/update/journal/recovery_journal.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  q71x::LoadLibrariesFromSystemFolderOnly();
  q71x::win32::InitCommonControls();
  q71x::win32::InstallWin32Dialogs();
  try {
    q71x::win32_platform::Win32Platform platform;
    q71x::ScopedActivePlatform usePlatform(platform);
    q71x::SetUnitLockFolder(q71x::DefaultLockFolder());
    q71x::RecoveryJournal journal(q71x::RecoveryJournal::DefaultFolder());
    q71x::win32::Win32ToolWindow window(instance, q71x::win32::ProgramFolder(),
                                        q71x::UsableJournal(journal));
    window.Show(showCommand);
    return q71x::win32::RunMessageLoop();
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  return 1;
}
