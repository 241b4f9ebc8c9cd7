// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What differs between the installed program and the portable one, for the few settings it
// remembers per user. Linux installs under a system folder (/usr/bin), which holds no images and
// where nothing may be written, so such a program keeps its settings in the user's configuration
// folder. The Windows program is portable wherever it runs and remembers nothing.

#include <filesystem>
#include <string>

namespace q71x {

// Whether `programFolder` is a system folder of an installed program (never on Windows).
bool RunsFromSystemFolder(const std::string& programFolder);

// The per-user settings file `name`: under $XDG_CONFIG_HOME, or ~/.config, in the program's own
// folder. Empty on Windows, and when neither the variable nor a home folder is known.
std::filesystem::path UserConfigFile(const std::string& name);

}  // namespace q71x
