// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/dialog_start_folder.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "src/host/installed_program.h"
#include "src/host/safe_file_write.h"
#include "src/host/whole_file.h"

namespace q71x {

std::string DialogStartFolder(const std::string& programFolder) {
  if (!RunsFromSystemFolder(programFolder)) {
    return programFolder;
  }
  std::error_code error;
  if (const std::filesystem::path file = UserConfigFile("last-folder"); !file.empty()) {
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
}

void RememberDialogFolder(const std::string& programFolder, const std::string& chosenFile) {
  if (!RunsFromSystemFolder(programFolder)) {
    return;
  }
  const std::filesystem::path file = UserConfigFile("last-folder");
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
}

}  // namespace q71x
