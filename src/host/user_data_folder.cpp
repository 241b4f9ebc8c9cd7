// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/user_data_folder.h"

#include <cstdlib>

namespace q71x {
namespace {

// A folder named by the environment counts only when it is absolute.
template <typename Char>
std::filesystem::path AbsoluteFolder(const Char* value) {
  if (value == nullptr || *value == 0) {
    return {};
  }
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path UserDataFolder() {
#ifdef _WIN32
  // The wide environment: its narrow copy is in the ANSI code page, which cannot hold every
  // user name.
  return AbsoluteFolder(::_wgetenv(L"LOCALAPPDATA"));
#else
  if (std::filesystem::path xdg = AbsoluteFolder(std::getenv("XDG_DATA_HOME")); !xdg.empty()) {
    return xdg;
  }
  const std::filesystem::path home = AbsoluteFolder(std::getenv("HOME"));
  return home.empty() ? home : home / ".local" / "share";
#endif
}

}  // namespace q71x
