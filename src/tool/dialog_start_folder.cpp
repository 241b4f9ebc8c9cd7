// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/dialog_start_folder.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "src/device/platform/whole_file.h"
#include "src/host/safe_file_write.h"

namespace q71x {
namespace {

#ifndef _WIN32
// The remembered folder lives in the user's configuration folder.
std::filesystem::path RememberedFolderFile() {
  std::filesystem::path base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    base = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return base / "q71xfwtool" / "last-folder";
}

bool IsSystemFolder(const std::string& folder) {
  for (const std::string_view system : {"/usr/", "/bin", "/sbin", "/lib", "/opt/"}) {
    if (folder.starts_with(system)) {
      return true;
    }
  }
  return false;
}
#endif

}  // namespace

std::string DialogStartFolder(const std::string& programFolder) {
#ifdef _WIN32
  return programFolder;
#else
  if (!IsSystemFolder(programFolder)) {
    return programFolder;
  }
  std::error_code error;
  if (const std::filesystem::path file = RememberedFolderFile(); !file.empty()) {
    const std::vector<std::uint8_t> bytes =
        ReadWholeFile(file).value_or(std::vector<std::uint8_t>());
    const std::string text(bytes.begin(), bytes.end());
    const std::string folder = text.substr(0, text.find('\n'));
    if (!folder.empty() && std::filesystem::is_directory(folder, error)) {
      return folder;
    }
  }
  const char* home = std::getenv("HOME");
  return home != nullptr ? std::string(home) : programFolder;
#endif
}

void RememberDialogFolder(const std::string& programFolder, const std::string& chosenFile) {
#ifdef _WIN32
  (void)programFolder;
  (void)chosenFile;
#else
  if (!IsSystemFolder(programFolder)) {
    return;
  }
  const std::filesystem::path file = RememberedFolderFile();
  const std::string folder = std::filesystem::path(chosenFile).parent_path().string();
  if (file.empty() || folder.empty() || folder.find('\n') != std::string::npos) {
    return;
  }
  if (!MakeOwnFolder(file.parent_path()).empty()) {
    return;
  }
  const std::string line = folder + '\n';
  std::string ignored;
  WriteFileSafely(file, line.data(), line.size(), FileAccess::OwnerOnly, ignored);
#endif
}

}  // namespace q71x
