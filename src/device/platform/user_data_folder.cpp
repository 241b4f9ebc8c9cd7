#include "src/device/platform/user_data_folder.h"

#include <cstdlib>

namespace q71x {
namespace {

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    return {};
  }
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path UserDataFolder() {
#ifdef _WIN32
  return AbsoluteFromEnvironment("LOCALAPPDATA");
#else
  if (std::filesystem::path xdg = AbsoluteFromEnvironment("XDG_DATA_HOME"); !xdg.empty()) {
    return xdg;
  }
  const std::filesystem::path home = AbsoluteFromEnvironment("HOME");
  return home.empty() ? home : home / ".local" / "share";
#endif
}

}  // namespace q71x
