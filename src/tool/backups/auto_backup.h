// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The backup taken before anything is erased: every byte the run may change (never less than
// the whole firmware size) read back through the family's backup action (whose reads prove
// themselves), kept in the user's data folder under a name no earlier backup has, with a JSON
// record beside it that says what it holds and which unit it came from (backup_record.h).
//   <data>/q71xfw/backups/<chip>_<device>_<YYYYMMDD-HHMMSS>[-n].bin   (+ .bin.json)
// The folder is the owner's only, and so are the files.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "src/tool/session/headless_session.h"

namespace q71x {

struct AutoBackup {
  bool Proven = false;  // the backup action claimed success and the file holds bytes
  std::string Problem;  // why not, when not
  std::filesystem::path File;
  std::filesystem::path Record;
  std::uint64_t Offset = 0;  // the firmware address of the file's first byte
  std::uint64_t Size = 0;
  std::string Sha256;
  RunReport Run;
};

std::filesystem::path AutoBackupFolder(const std::filesystem::path& dataFolder);

// A file name in `folder` that does not exist yet, from the chip, the device path and `when`.
std::filesystem::path FreshBackupName(const std::filesystem::path& folder,
                                      const DeviceFacts& device,
                                      std::chrono::system_clock::time_point when);

// How many bytes from address 0 a backup before a run reads: the firmware size, or every byte
// the run may change (`reach`) in whole 64 KB when that is more.
std::uint64_t BackupLength(const DeviceFacts& device, std::uint64_t reach);

// Writes the record beside a backup `run` claimed to have written to `file` from `readBytes`
// bytes read (the file leaves out what the family's backup skips at the start), after checking
// the file holds bytes. The record is created anew, never over anything (RecordPathOf); the file
// and the record are made the owner's only.
AutoBackup RecordBackup(const DeviceFacts& device, RunReport run, const std::filesystem::path& file,
                        std::uint64_t readBytes, std::chrono::system_clock::time_point when);

// Runs the backup action on the selected device (`device` holds its facts) into a fresh name,
// covering every byte up to `reach`, and writes the record.
AutoBackup TakeAutoBackup(HeadlessSession& session, const DeviceFacts& device,
                          const std::filesystem::path& folder,
                          std::chrono::system_clock::time_point when, std::uint64_t reach);

}  // namespace q71x
