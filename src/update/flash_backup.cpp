// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/flash_backup.h"

#include <algorithm>

#include "src/update/backup_file.h"
#include "src/update/proven_read.h"
#include "src/update/run_steps.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {

int BackupFlashThrough(ToolWindow& window, std::string_view defaultName, std::uint32_t skip,
                       const RangeRead& readFlash) {
  std::string path;
  if (!ChooseBackupPath(window.BackupFileName(), defaultName, path)) {
    window.PostStatus(std::string(kBackupNameTooLongText));
    return 0;
  }
  const std::uint32_t length = window.Settings().FirmwareSize;
  DeclarePhases(window, {{RunStep::Backup, 100}});
  EnterStep(window, RunStep::Backup);
  window.PostStatus(std::string(kBackupProgressText));

  AlignedBuffer flash = AllocateWorkBuffer(length);
  if (!flash.ok()) {
    window.PostStatus(std::string(kAllocateReadBufferErrorText));
    return 0;
  }
  // A short or garbled answer would otherwise go into the file as the old firmware.
  if (const std::string_view refusal = ProvenReadRefusal(
          ReadTwiceAndCompare(CountingProvenReads(window, readFlash), flash.data(), length),
          kAllocateReadBufferErrorText, kReadBackToBackupErrorText);
      !refusal.empty()) {
    window.PostStatus(std::string(refusal));
    return 0;
  }
  // The file starts at flash byte `skip`: the configuration area is left out when it is skipped.
  const std::uint32_t from = std::min(skip, length);
  if (const SafeWriteStatus written = WriteBackupFile(path, flash.data() + from, length - from);
      written != SafeWriteStatus::Written) {
    window.PostStatus(std::string(BackupFailureText(written, kOpenBackupFileErrorText)));
    return 0;
  }
  ClaimSuccess(window);
  window.PostStatus(std::string(kBackupSuccessText));
  return 1;
}

}  // namespace q71x
