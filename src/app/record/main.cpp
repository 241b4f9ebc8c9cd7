// q71xfwtool-record: the window over the operating system's platform, with every exchange with a
// bridge written to a trace file that can be attached to a report and replayed as a regression
// test. The trace goes to the file named by --trace, or to q71xfwtool-<date>-<time>.trace in the
// current directory.
//
//   q71xfwtool-record [--trace FILE]

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>

#include <exception>
#include <fstream>

#include "src/app/fwupdate.h"
#include "src/app/qt_dialogs.h"
#include "src/device/platform/platform.h"
#include "src/device/platform/trace/recording_platform.h"
#include "src/device/platform/user_dialogs.h"

#if defined(Q71X_OS_PLATFORM_LINUX)
#include "src/device/platform/linux/linux_platform.h"
using OsPlatform = q71x::linux_platform::LinuxPlatform;
#elif defined(Q71X_OS_PLATFORM_WIN32)
#include "src/device/platform/win32/win32_platform.h"
using OsPlatform = q71x::win32_platform::Win32Platform;
#else
#error "q71xfwtool-record needs an operating-system backend"
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QCommandLineParser options;
  options.setApplicationDescription(
      QStringLiteral("The firmware tool, recording every exchange with a bridge to a trace."));
  options.addHelpOption();
  const QCommandLineOption traceOption(QStringLiteral("trace"),
                                       QStringLiteral("Write the trace to <file>."),
                                       QStringLiteral("file"));
  options.addOption(traceOption);
  options.process(application);
  const QString tracePath =
      options.isSet(traceOption)
          ? options.value(traceOption)
          : QStringLiteral("q71xfwtool-%1.trace")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));

  q71x::InstallQtDialogs();
  std::ofstream trace(QFile::encodeName(tracePath).toStdString(), std::ios::out | std::ios::trunc);
  if (!trace) {
    q71x::ShowMessageBox("Cannot write the trace file " + tracePath.toStdString(), "Error",
                         q71x::MessageIcon::Error);
    return 1;
  }
  try {
    OsPlatform platform;
    q71x::trace::RecordingPlatform recorder(platform, trace);
    q71x::ScopedActivePlatform usePlatform(recorder);
    q71x::TQ71xFwTool window;
    window.show();
    return QApplication::exec();
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  return 1;
}
