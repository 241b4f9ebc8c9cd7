// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The per-user folder where programs keep their data: the simulator's state, the command line's
// automatic backups. Windows: %LOCALAPPDATA%. Elsewhere: $XDG_DATA_HOME, or ~/.local/share when
// it is unset or not absolute (the XDG rule: relative values are ignored).

#include <filesystem>

namespace q71x {

// Empty when neither the variable nor a home folder is known.
std::filesystem::path UserDataFolder();

}  // namespace q71x
