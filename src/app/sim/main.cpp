// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfwtool-sim: the window over simulated enclosures, one per chip family, with sample images
// ready to load. The enclosures' memories live in a state folder between runs.
//
//   q71xfwtool-sim [--state DIR] [--rd-version] [--pace K]

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QFile>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>

#include "sim/simulated_system.h"
#include "src/app/display_check.h"
#include "src/app/fwupdate.h"
#include "src/app/qt_dialogs.h"
#include "src/app/sim/enclosure_panel.h"
#include "src/device/platform/sim/wall_clock_pacing.h"
#include "src/host/unit_lock.h"
#include "src/host/user_dialogs.h"
#include "src/simhost/demo_session.h"
#include "src/simhost/sim_state_folder.h"
#include "src/update/journal/recovery_journal.h"

namespace {

void Warn(const char* what, const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    std::fprintf(stderr, "q71xfwtool-sim: %s: %s\n", what, file.c_str());
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  if (!q71x::DisplayForTheWindow(argc, argv, "q71xfwtool-sim")) {
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("q71xfwtool-sim"));

  QCommandLineParser options;
  options.setApplicationDescription(QStringLiteral(
      "The firmware tool over simulated enclosures. Each enclosure's flash, controller memory and "
      "disk area are kept as plain files in the state folder, with sample images in its "
      "\"images\" folder."));
  options.addHelpOption();
  const QCommandLineOption stateOption(
      QStringLiteral("state"), QStringLiteral("Keep the simulated memories in <dir>."),
      QStringLiteral("dir"), QString::fromStdString(q71x::DefaultSimStateFolder().string()));
  options.addOption(stateOption);
  const QCommandLineOption rdVersionOption(
      QStringLiteral("rd-version"),
      QStringLiteral("Start with \"RD Version\" ticked (the engineering panel shown)."));
  options.addOption(rdVersionOption);
  const QCommandLineOption paceOption(QStringLiteral("pace"),
                                      QString::fromLatin1(q71x::kPaceOptionHelp),
                                      QStringLiteral("K"), QStringLiteral("0"));
  options.addOption(paceOption);
  options.process(application);
  const std::optional<double> pace = q71x::ParsePace(options.value(paceOption).toStdString());
  if (!pace) {
    std::fprintf(stderr, "q71xfwtool-sim: --pace takes a number of 0 or more, not \"%s\"\n",
                 options.value(paceOption).toLocal8Bit().constData());
    return 2;
  }

  const q71x::SimStateFolder state(
      std::filesystem::path(QFile::encodeName(options.value(stateOption)).toStdString()));
  q71x::InstallQtDialogs();
  try {
    q71x::DemoSession session(state, *pace);
    q71x::sim::SimulatedSystem& system = session.System();
    Warn("left out (size does not fit)", session.LeftOut());
    Warn("cannot write", session.UnwrittenImages());
    // The simulated machine's units are owned through locks of its own state folder.
    q71x::SetUnitLockFolder(state.Root() / "locks");
    q71x::RecoveryJournal journal(state.JournalFolder());
    q71x::TQ71xFwTool window(nullptr, nullptr, &journal);
    // A paced command lets the window paint and the panel take its clicks while it waits.
    const q71x::PacingPumpScope pump(session.Pacing(),
                                     [&window] { window.Core().ProcessEventsDuringWait(); });
    window.Core().OpenDialog1().InitialDir = (state.Root() / "images").string();
    // Other programs on the same folder save between this window's runs: a run (or a journal
    // write-back) starts from what they left and is saved before the unit is let go; a save
    // never writes over theirs.
    window.Core().SetClaimListener([&](const std::string& path) {
      Warn("left out (size does not fit)", state.CatchUp(system, path));
    });
    window.Core().SetLetGoListener([&] { Warn("cannot write", state.Save(system)); });
    if (options.isSet(rdVersionOption)) {
      window.Core().SetTicked(q71x::Control::RdCheckBox, true);
    }
    q71x::EnclosurePanel panel(system);
    // Unticking an enclosure in the middle of a run pulls it out there and then.
    window.LetInputThroughWhileBusy(&panel);
    // The panel is a helper: closing the tool's window ends the program.
    panel.setAttribute(Qt::WA_QuitOnClose, false);
    window.show();
    panel.move(window.frameGeometry().right() + 16, window.frameGeometry().top());
    panel.show();
    const int result = QApplication::exec();
    Warn("cannot write", state.Save(system));
    return result;
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  return 1;
}
