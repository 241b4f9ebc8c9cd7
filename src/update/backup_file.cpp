#include "src/update/backup_file.h"

#include <fstream>

#include "src/update/image_source.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"

namespace q71x {

bool ChooseBackupPath(const std::string& fieldText, std::string_view defaultName,
                      std::string& path) {
  if (fieldText.size() >= kMaxPathChars) {
    return false;
  }
  if (fieldText.empty()) {
    path = std::string(defaultName);
    ShowMessage(kDefaultBackupBoxText);
    return true;
  }
  path = fieldText;
  return true;
}

BackupFileResult WriteBackupFile(const std::string& path, const std::uint8_t* data,
                                 std::size_t length) {
  std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!file.is_open()) {
    return BackupFileResult::NotCreated;
  }
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
  file.close();
  return file.fail() ? BackupFileResult::Incomplete : BackupFileResult::Written;
}

}  // namespace q71x
