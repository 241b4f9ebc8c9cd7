// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/installed_program.h"

#include <cstdlib>
#include <string_view>

namespace q71x {

bool RunsFromSystemFolder(const std::string& programFolder) {
#ifdef _WIN32
  (void)programFolder;
  return false;
#else
  for (const std::string_view system : {"/usr/", "/bin", "/sbin", "/lib", "/opt/"}) {
    if (programFolder.starts_with(system)) {
      return true;
    }
  }
  return false;
#endif
}

std::filesystem::path UserConfigFile(const std::string& name) {
#ifdef _WIN32
  (void)name;
  return {};
#else
  std::filesystem::path base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return base / "q71xfwtool" / name;
#endif
}

}  // namespace q71x
