// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfwtool-record: the window over the operating system's platform, with every exchange with a
// bridge written to a trace file that can be attached to a report and replayed as a regression
// test. The trace goes to the file named by --trace, or to q71xfwtool-<date>-<time>.trace in the
// current directory; --no-data leaves the data of every exchange out.
//
//   q71xfwtool-record [--trace FILE] [--no-data]

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>

#include <exception>
#include <filesystem>

#include "src/app/fwupdate.h"
#include "src/app/qt_dialogs.h"
#include "src/device/platform/os_platform.h"
#include "src/device/platform/platform.h"
#include "src/device/platform/trace/recording_platform.h"
#include "src/device/platform/trace/trace_file.h"
#include "src/host/user_dialogs.h"
#include "src/update/journal/recovery_journal.h"

#ifndef Q71X_HAS_OS_PLATFORM
#error "q71xfwtool-record needs an operating-system backend"
#endif

namespace {

// What the operator is about to hand to others: said before anything is recorded.
const char* const kTraceContents =
    "The firmware tool, recording every exchange with a bridge to a trace for a bug report.\n"
    "\n"
    "A trace holds, for every command sent to a bridge: the device path, the command block, "
    "direction, length, time-out and result, and the data sent and received. The data can "
    "include the bridge's whole flash image (backups, read-backs), the attached drive's "
    "IDENTIFY data (model, serial number, world-wide name) and raw sectors read from the end of "
    "the drive, and the trace lists the volumes of the computer by name. The file is created "
    "readable by you only. Read it before you share it; where the data is private, record with "
    "--no-data: the trace then keeps the commands, lengths and results but no data, and can no "
    "longer be replayed as a test.\n"
    "\n"
    "The trace is written beside its name (as NAME.partial-XXXXXX) and takes its name when the "
    "window is closed.";

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QCommandLineParser options;
  options.setApplicationDescription(QString::fromUtf8(kTraceContents));
  options.addHelpOption();
  const QCommandLineOption traceOption(
      QStringLiteral("trace"),
      QStringLiteral("Write the trace to <file> (default: q71xfwtool-<date>-<time>.trace in the "
                     "current directory)."),
      QStringLiteral("file"));
  const QCommandLineOption noDataOption(
      QStringLiteral("no-data"),
      QStringLiteral("Leave out the data of every exchange: command blocks, lengths and results "
                     "only. Such a trace cannot be replayed."));
  options.addOption(traceOption);
  options.addOption(noDataOption);
  options.process(application);
  const QString tracePath =
      options.isSet(traceOption)
          ? options.value(traceOption)
          : QStringLiteral("q71xfwtool-%1.trace")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  const auto content = options.isSet(noDataOption) ? q71x::trace::TraceContent::WithoutData
                                                   : q71x::trace::TraceContent::Everything;

  q71x::InstallQtDialogs();
  q71x::trace::TraceFile trace(std::filesystem::path(QFile::encodeName(tracePath).toStdString()));
  if (trace.Open() != q71x::SafeWriteStatus::Written) {
    q71x::ShowMessageBox("Cannot write the trace file: " + trace.Reason(), "Error",
                         q71x::MessageIcon::Error);
    return 1;
  }
  int exitCode = 1;
  try {
    q71x::OsPlatform platform;
    q71x::trace::RecordingPlatform recorder(platform, trace.Stream(), content);
    q71x::ScopedActivePlatform usePlatform(recorder);
    q71x::RecoveryJournal journal(q71x::RecoveryJournal::DefaultFolder());
    q71x::TQ71xFwTool window(nullptr, nullptr, q71x::UsableJournal(journal));
    window.show();
    exitCode = QApplication::exec();
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  if (trace.Finish() != q71x::SafeWriteStatus::Written) {
    q71x::ShowMessageBox("The trace could not be saved whole: " + trace.Reason(), "Error",
                         q71x::MessageIcon::Error);
    return 1;
  }
  return exitCode;
}
