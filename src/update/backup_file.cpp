// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/backup_file.h"

#include "src/host/utf8_path.h"
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

SafeWriteStatus WriteBackupFile(const std::string& path, const std::uint8_t* data,
                                std::size_t length) {
  std::string reason;
  const SafeWriteStatus status =
      WriteFileSafely(PathFromUtf8(path), data, length, FileAccess::OwnerOnly, reason);
  if (status != SafeWriteStatus::Written) {
    WriteDebugLine("Backup not written: " + reason + "\n");
  }
  return status;
}

std::string_view BackupFailureText(SafeWriteStatus status, std::string_view notCreatedText) {
  switch (status) {
    case SafeWriteStatus::RefusedLink:
      return kBackupNameIsLinkText;
    case SafeWriteStatus::RefusedSpecial:
      return kBackupNameNotPlainFileText;
    case SafeWriteStatus::RefusedFolder:
      return kBackupFolderRefusedText;
    case SafeWriteStatus::NotCreated:
      return notCreatedText;
    case SafeWriteStatus::AlreadyThere:  // backups replace an earlier one of the name
    case SafeWriteStatus::Incomplete:
      // A backup short of bytes must never pass for the old firmware.
      return kWriteBackupFileErrorText;
    case SafeWriteStatus::Written:
      break;
  }
  return {};
}

}  // namespace q71x
