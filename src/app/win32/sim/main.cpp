// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfwtool-sim for Windows: the native window over simulated enclosures, one per chip family,
// with sample images ready to load and the enclosure panel beside it. The enclosures' memories
// live in a state folder between runs.

#include <windows.h>

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/simulated_system.h"
#include "src/app/win32/sim/sim_options.h"
#include "src/app/win32/sim/win32_enclosure_panel.h"
#include "src/app/win32/win32_dialogs.h"
#include "src/app/win32/win32_program.h"
#include "src/app/win32/win32_text.h"
#include "src/app/win32/win32_window.h"
#include "src/device/platform/sim/wall_clock_pacing.h"
#include "src/host/dll_search.h"
#include "src/host/unit_lock.h"
#include "src/host/user_dialogs.h"
#include "src/simhost/demo_session.h"
#include "src/simhost/sim_state_folder.h"
#include "src/update/journal/recovery_journal.h"

namespace {

constexpr const char* kProgram = "q71xfwtool-sim";
// The panel sits this far right of the tool's window.
constexpr int kPanelGap = 16;

// A windowed program has no console: what could not be kept is told in one box.
void Warn(const char* what, const std::vector<std::string>& files) {
  if (files.empty()) {
    return;
  }
  std::string text = what;
  for (const std::string& file : files) {
    text += "\n" + file;
  }
  q71x::ShowMessageBox(text, kProgram, q71x::MessageIcon::Warning);
}

// Every device list the window shows goes to the debugger, a line for the list and one for each
// item: how a plug or unplug in the enclosure panel reached the list can be followed from
// outside (the window check does). The items are the bridges' own bytes, passed on as they are.
void TellDeviceList(const std::vector<std::string>& items) {
  OutputDebugStringA(
      ("q71xfwtool-sim: device list of " + std::to_string(items.size()) + "\n").c_str());
  for (const std::string& item : items) {
    OutputDebugStringA(("q71xfwtool-sim: device list item [" + item + "]\n").c_str());
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  q71x::LoadLibrariesFromSystemFolderOnly();
  q71x::win32::InitCommonControls();
  q71x::win32::InstallWin32Dialogs();
  std::vector<std::string> arguments = q71x::win32::CommandLineArguments();
  if (!arguments.empty()) {
    arguments.erase(arguments.begin());
  }
  const q71x::win32::SimOptions options = q71x::win32::ParseSimOptions(arguments);
  if (!options.Error.empty() || options.Help) {
    const std::string text = options.Error.empty()
                                 ? std::string(q71x::win32::kSimUsage)
                                 : options.Error + "\n\n" + q71x::win32::kSimUsage;
    q71x::ShowMessageBox(text, kProgram,
                         options.Help ? q71x::MessageIcon::Information : q71x::MessageIcon::Error);
    return options.Help ? 0 : 2;
  }
  const q71x::SimStateFolder state(
      options.StateFolder.empty()
          ? q71x::DefaultSimStateFolder()
          : std::filesystem::path(q71x::win32::Utf8ToWide(options.StateFolder)));
  try {
    q71x::DemoSession session(state, options.Pace);
    q71x::sim::SimulatedSystem& system = session.System();
    Warn("Left out (size does not fit):", session.LeftOut());
    Warn("Cannot write:", session.UnwrittenImages());
    // The simulated machine's units are owned through locks of its own state folder.
    q71x::SetUnitLockFolder(state.Root() / "locks");
    q71x::RecoveryJournal journal(state.JournalFolder());
    q71x::win32::Win32ToolWindow window(instance, q71x::win32::ProgramFolder(), &journal);
    window.Core().OpenDialog1().InitialDir =
        q71x::win32::WideToUtf8((state.Root() / "images").wstring());
    // A paced command lets the window paint and the panel take its clicks while it waits.
    const q71x::PacingPumpScope pump(session.Pacing(),
                                     [&window] { window.Core().ProcessEventsDuringWait(); });
    // Other programs on the same folder save between this window's runs: a run (or a journal
    // write-back) starts from what they left and is saved before the unit is let go; a save
    // never writes over theirs.
    window.Core().SetClaimListener([&](const std::string& path) {
      Warn("Left out (size does not fit):", state.CatchUp(system, path));
    });
    window.Core().SetLetGoListener([&] { Warn("Cannot write:", state.Save(system)); });
    window.SetDeviceItemsShownHandler(TellDeviceList);
    TellDeviceList(window.Core().DeviceItems());  // the list the window opened with
    if (options.RdVersion) {
      window.Core().SetTicked(q71x::Control::RdCheckBox, true);
    }
    RECT outer{};
    GetWindowRect(window.Handle(), &outer);
    q71x::win32::Win32EnclosurePanel panel(instance, system, state.Root(), outer.right + kPanelGap,
                                           outer.top);
    // Unticking an enclosure in the middle of a run pulls it out there and then.
    window.LetInputThroughWhileBusy(panel.Handle());
    window.Show(showCommand);
    panel.Show(SW_SHOWNOACTIVATE);
    const int result = q71x::win32::RunMessageLoop();
    Warn("Cannot write:", state.Save(system));
    return result;
  } catch (const std::exception& error) {
    q71x::ShowMessageBox(error.what(), "Error", q71x::MessageIcon::Error);
  }
  return 1;
}
