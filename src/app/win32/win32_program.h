// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What both Windows executables need from the process: the arguments and the program's folder
// in UTF-8, and the common controls initialised before the first window.

#include <string>
#include <vector>

namespace q71x::win32 {

// The command line as the wide API gives it, program name first.
std::vector<std::string> CommandLineArguments();
// The folder of the running executable, where the open-file dialog starts the first time.
std::string ProgramFolder();
// Version 6 of the common controls (the manifest asks for them) with the standard classes.
void InitCommonControls();

}  // namespace q71x::win32
