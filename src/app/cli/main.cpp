// SPDX-License-Identifier: GPL-2.0-or-later
// q71xfw: the firmware tool for scripts and headless machines. See docs/cli.md.

#include <cstdio>
#include <iostream>
#include <sstream>

#include "src/app/cli/cli_program.h"
#include "src/app/cli/process_console.h"
#include "src/app/cli/run_guard.h"
#include "src/device/platform/os_platform.h"
#include "src/host/dll_search.h"
#include "src/host/unit_lock.h"
#include "src/host/user_data_folder.h"

#ifdef _WIN32
#include <io.h>
#define q71x_dup _dup
#define q71x_dup2 _dup2
#define q71x_close _close
#else
#include <unistd.h>
#define q71x_dup dup
#define q71x_dup2 dup2
#define q71x_close close
#endif

int main(int argc, char* argv[]) {
  q71x::LoadLibrariesFromSystemFolderOnly();
  q71x::cli::InstallRunGuard();
  const q71x::cli::Utf8Console console;
  // The procedures write their console lines to standard output; standard output is the
  // report's (a JSON document must stay whole), so their lines go to standard error instead.
  std::fflush(stdout);
  const int report = q71x_dup(1);
  if (report >= 0) {
    q71x_dup2(2, 1);
  }
  std::ostringstream out;
  q71x::cli::CliEnvironment env;
  env.Out = &out;
  env.Err = &std::cerr;
  env.In = &std::cin;
  env.ErrTerminal = q71x::cli::ErrorAtTerminal();
  env.Terminal = q71x::cli::AtTerminal();
  env.DataFolder = q71x::UserDataFolder();
  env.LockFolder = q71x::DefaultLockFolder();
#ifdef Q71X_HAS_OS_PLATFORM
  env.OsPlatform = [] { return std::make_unique<q71x::OsPlatform>(); };
#endif
  const int code = q71x::cli::RunCommandLine(q71x::cli::Utf8Arguments(argc, argv), env);
  std::fflush(stdout);
  if (report >= 0) {
    q71x_dup2(report, 1);
    q71x_close(report);
  }
  std::cout << out.str() << std::flush;
  return code;
}
