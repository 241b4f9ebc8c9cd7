#include "src/update/df_backup.h"

#include <algorithm>

#include "src/update/backup_file.h"
#include "src/update/df_family.h"
#include "src/update/df_transfer.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {

int BackupDfFlashToFile(ToolWindow& window, const std::string& devicePath, std::uint32_t skip) {
  std::string path;
  if (!ChooseBackupPath(window.BackupFileName(), kDfDefaultBackupName, path)) {
    window.PostStatus(std::string(kBackupNameTooLongText));
    return 0;
  }
  window.PostStatus(std::string(kBackupProgressText));
  const std::uint32_t length = window.Settings().FirmwareSize;
  AlignedBuffer flash = AllocateWorkBuffer(length);
  if (!flash.ok()) {
    window.PostStatus(std::string(kAllocateReadBufferErrorText));
    return 0;
  }
  if (ReadDfFlash(window, devicePath, 0, flash.data(), length) == 0) {
    window.PostStatus(std::string(kReadBackToBackupErrorText));
    return 0;
  }
  // The file starts at flash byte skip: the configuration area is left out when it is skipped.
  const std::uint32_t from = std::min(skip, length);
  switch (WriteBackupFile(path, flash.data() + from, length - from)) {
    case BackupFileResult::NotCreated:
      window.PostStatus(std::string(kOpenBackupFileErrorText));
      return 0;
    case BackupFileResult::Incomplete:
      window.PostStatus(std::string(kWriteBackupFileErrorText));
      return 0;
    case BackupFileResult::Written:
      break;
  }
  window.PostStatus(std::string(kBackupSuccessText));
  return 1;
}

}  // namespace q71x
