// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/backups/kept_backups.h"

#include <algorithm>
#include <system_error>
#include <tuple>

#include "src/host/utf8_path.h"
#include "src/host/whole_file.h"
#include "src/image/sha256.h"

namespace q71x {

KeptBackup ReadKeptBackup(const std::filesystem::path& record) {
  KeptBackup backup;
  backup.Record = record;
  const std::optional<std::vector<std::uint8_t>> text = ReadWholeFile(record);
  if (!text) {
    backup.Unreadable = "the record cannot be read";
    return backup;
  }
  std::optional<BackupRecord> facts =
      ParseBackupRecord(std::string(text->begin(), text->end()), backup.Unreadable);
  if (!facts) {
    return backup;
  }
  backup.Facts = std::move(*facts);
  backup.File = record.parent_path() / PathFromUtf8(backup.Facts.File);
  const std::vector<std::uint8_t> bytes =
      ReadWholeFile(backup.File).value_or(std::vector<std::uint8_t>());
  backup.Intact = !bytes.empty() && bytes.size() == backup.Facts.Size &&
                  Sha256Hex(bytes) == backup.Facts.Sha256;
  return backup;
}

std::vector<KeptBackup> ListKeptBackups(const std::filesystem::path& folder) {
  std::vector<KeptBackup> kept;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".json") {
      kept.push_back(ReadKeptBackup(entry.path()));
    }
  }
  // Backups of the same second are told apart by their "-n" suffix: the longer name is the later.
  std::sort(kept.begin(), kept.end(), [](const KeptBackup& a, const KeptBackup& b) {
    const bool aUnreadable = !a.Unreadable.empty();
    const bool bUnreadable = !b.Unreadable.empty();
    const std::size_t aLength = a.File.native().size();
    const std::size_t bLength = b.File.native().size();
    return std::tie(aUnreadable, a.Facts.Device, a.Facts.Created, aLength, a.File, a.Record) <
           std::tie(bUnreadable, b.Facts.Device, b.Facts.Created, bLength, b.File, b.Record);
  });
  return kept;
}

}  // namespace q71x
