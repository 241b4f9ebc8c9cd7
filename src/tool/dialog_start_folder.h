// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where the file dialogs start. Beside the program is where operators of the portable tool keep
// their images; installed under a system folder (/usr/bin) that folder holds none, so the
// dialogs start in the folder used last, remembered per user, else in the user's home folder.
// Windows keeps the program's folder.

#include <string>

namespace q71x {

// The folder to start in, given the program's own folder.
std::string DialogStartFolder(const std::string& programFolder);

// Remembers the folder of a file the operator chose, where the program runs from a system folder
// on Linux (nothing otherwise). Failing to remember is not an error: the next start falls back
// to the home folder.
void RememberDialogFolder(const std::string& programFolder, const std::string& chosenFile);

}  // namespace q71x
