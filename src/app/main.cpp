// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfwtool: the window over the operating system's platform. It takes no options.

#include <QApplication>

#include <exception>

#include "src/app/display_check.h"
#include "src/app/fwupdate.h"
#include "src/app/qt_dialogs.h"
#include "src/device/platform/os_platform.h"
#include "src/device/platform/platform.h"
#include "src/host/unit_lock.h"
#include "src/host/user_dialogs.h"
#include "src/update/journal/recovery_journal.h"

int main(int argc, char* argv[]) {
  if (!q71x::DisplayForTheWindow(argc, argv, "q71xfwtool")) {
    return 2;
  }
  QApplication application(argc, argv);
  q71x::InstallQtDialogs();
  try {
#ifdef Q71X_HAS_OS_PLATFORM
    q71x::OsPlatform platform;
    q71x::ScopedActivePlatform usePlatform(platform);
#endif
    q71x::SetUnitLockFolder(q71x::DefaultLockFolder());
    q71x::RecoveryJournal journal(q71x::RecoveryJournal::DefaultFolder());
    q71x::TQ71xFwTool window(nullptr, nullptr, q71x::UsableJournal(journal));
    window.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  return 1;
}
