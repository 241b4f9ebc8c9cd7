// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/backups/auto_backup.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "src/host/safe_file_write.h"
#include "src/host/utc_text.h"
#include "src/host/utf8_path.h"
#include "src/host/whole_file.h"
#include "src/image/sha256.h"
#include "src/tool/backups/backup_record.h"
#include "src/update/df/df_family.h"
#include "src/update/image_source.h"
#include "src/update/update_footprint.h"

namespace q71x {
namespace {

// Names that survive every file system and shell: letters, digits, '.', '-'; all else '_'.
std::string FileNamePart(const std::string& text) {
  std::string part;
  for (char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    part.push_back(std::isalnum(u) || c == '.' || c == '-' ? c : '_');
  }
  return part.empty() ? "unknown" : part;
}

}  // namespace

std::filesystem::path AutoBackupFolder(const std::filesystem::path& dataFolder) {
  return dataFolder / "q71xfw" / "backups";
}

std::filesystem::path FreshBackupName(const std::filesystem::path& folder,
                                      const DeviceFacts& device,
                                      std::chrono::system_clock::time_point when) {
  const std::string stem = FileNamePart(device.Chip) + "_" + FileNamePart(device.Path) + "_" +
                           UtcText(when, "%Y%m%d-%H%M%S");
  std::filesystem::path name = folder / (stem + ".bin");
  for (int n = 2; std::filesystem::exists(name) || std::filesystem::exists(RecordPathOf(name));
       ++n) {
    name = folder / (stem + "-" + std::to_string(n) + ".bin");
  }
  return name;
}

std::uint64_t BackupLength(const DeviceFacts& device, std::uint64_t reach) {
  return std::max<std::uint64_t>(device.FirmwareSize, RoundUpTo(reach, kLargestEraseUnit));
}

AutoBackup TakeAutoBackup(HeadlessSession& session, const DeviceFacts& device,
                          const std::filesystem::path& folder,
                          std::chrono::system_clock::time_point when, std::uint64_t reach) {
  AutoBackup backup;
  const std::uint64_t length = BackupLength(device, reach);
  if (length > kFlashAddressSpace) {
    backup.Problem = "the run may change " + std::to_string(reach) +
                     " bytes, more than a backup of this device can read back";
    return backup;
  }
  // Backups may hold someone's disk sectors: the folder is the owner's alone.
  if (std::string problem = MakeOwnFolder(folder, FolderAccess::OwnerOnly); !problem.empty()) {
    backup.Problem = problem;
    return backup;
  }
  const std::filesystem::path file = FreshBackupName(folder, device, when);
  backup = RecordBackup(device,
                        session.RunAction(EngineeringAction::BackupOnly, PathToUtf8(file),
                                          static_cast<std::uint32_t>(length)),
                        file, length, when);
  // A family that read back less than asked leaves bytes the run changes without a copy.
  if (backup.Proven && backup.Offset + backup.Size < reach) {
    backup.Proven = false;
    backup.Problem = "the backup holds the bytes up to " +
                     std::to_string(backup.Offset + backup.Size) + ", the run may change up to " +
                     std::to_string(reach);
  }
  return backup;
}

AutoBackup RecordBackup(const DeviceFacts& device, RunReport run, const std::filesystem::path& file,
                        std::uint64_t readBytes, std::chrono::system_clock::time_point when) {
  AutoBackup backup;
  backup.File = file;
  backup.Record = RecordPathOf(file);
  backup.Run = std::move(run);
  if (!backup.Run.Claimed) {
    backup.Problem = "the backup did not succeed: " + backup.Run.Status;
    return backup;
  }
  const std::vector<std::uint8_t> bytes =
      ReadWholeFile(backup.File).value_or(std::vector<std::uint8_t>());
  if (bytes.empty() || bytes.size() > readBytes) {
    backup.Problem =
        "the backup file is missing, empty or not what was read: " + PathToUtf8(backup.File);
    return backup;
  }
  backup.Size = bytes.size();
  backup.Offset = readBytes - bytes.size();
  backup.Sha256 = Sha256Hex(bytes);

  BackupRecord record;
  record.File = PathToUtf8(backup.File.filename());
  record.Device = device.Path;
  record.Chip = device.Chip;
  record.ChipType = device.ChipType;
  record.ChipRevision = device.ChipRevision;
  record.Flash = device.FlashText;
  record.FirmwareVersion = device.FirmwareVersion;
  record.Procedure = std::string(UpdateProcedureName(backup.Run.Procedure));
  record.Offset = backup.Offset;
  record.Size = backup.Size;
  record.Sha256 = backup.Sha256;
  record.Created = UtcText(when, "%Y-%m-%dT%H:%M:%SZ");
  record.HasIdentity = true;
  record.Unit = device.Unit;
  // A device path or version text that is no valid UTF-8 must not stop the record.
  const std::string text =
      BackupRecordJson(record).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::string reason;
  // Created anew, never over what stands at the name: a record beside a user-named backup may
  // meet a file of the user's there.
  if (WriteFileSafely(backup.Record, text.data(), text.size(), FileAccess::OwnerOnly, reason,
                      ExistingFile::Keep) != SafeWriteStatus::Written) {
    backup.Problem = "cannot write the record " + reason;
    return backup;
  }
  backup.Proven = true;
  return backup;
}

}  // namespace q71x
