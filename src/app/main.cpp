// q71xfwtool: the window over the operating system's platform. It takes no options.

#include <QApplication>

#include <exception>

#include "src/app/fwupdate.h"
#include "src/app/qt_dialogs.h"
#include "src/device/platform/platform.h"
#include "src/device/platform/user_dialogs.h"

#if defined(Q71X_OS_PLATFORM_LINUX)
#include "src/device/platform/linux/linux_platform.h"
using OsPlatform = q71x::linux_platform::LinuxPlatform;
#elif defined(Q71X_OS_PLATFORM_WIN32)
#include "src/device/platform/win32/win32_platform.h"
using OsPlatform = q71x::win32_platform::Win32Platform;
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  q71x::InstallQtDialogs();
  try {
#if defined(Q71X_OS_PLATFORM_LINUX) || defined(Q71X_OS_PLATFORM_WIN32)
    OsPlatform platform;
    q71x::ScopedActivePlatform usePlatform(platform);
#endif
    q71x::TQ71xFwTool window;
    window.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  return 1;
}
