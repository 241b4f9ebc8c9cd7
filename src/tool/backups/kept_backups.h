// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The backups kept in the backup folder, each read back with its record and checked against it:
// a backup whose bytes no longer match the size and SHA-256 its record names is reported as not
// intact, so nobody restores from a damaged file believing it whole. A record that cannot be
// read is kept in the list with the reason, so the listing goes on and says what is wrong.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "src/tool/backups/backup_record.h"

namespace q71x {

struct KeptBackup {
  std::filesystem::path File;  // beside the record, under the name the record gives
  std::filesystem::path Record;
  BackupRecord Facts;      // as the record says
  std::string Unreadable;  // why the record cannot be used; empty when it was read
  bool Intact = false;     // the file is there and has that size and digest
};

// The backup a record names, checked against it; Unreadable says why when the record cannot be
// read as one of ours.
KeptBackup ReadKeptBackup(const std::filesystem::path& record);

// Every record in `folder` (none when the folder does not exist), by device, then oldest first;
// the unreadable ones last.
std::vector<KeptBackup> ListKeptBackups(const std::filesystem::path& folder);

}  // namespace q71x
