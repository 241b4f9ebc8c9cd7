#include "src/app/cli/auto_backup.h"

#include <cctype>
#include <ctime>
#include <vector>

#include <nlohmann/json.hpp>

#include "src/device/platform/utf8_path.h"
#include "src/device/platform/whole_file.h"
#include "src/host/safe_file_write.h"
#include "src/image/sha256.h"

namespace q71x::cli {
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

std::string UtcStamp(std::chrono::system_clock::time_point when, const char* format) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, format, &utc);
  return text;
}

}  // namespace

std::filesystem::path AutoBackupFolder(const std::filesystem::path& dataFolder) {
  return dataFolder / "q71xfw" / "backups";
}

std::filesystem::path FreshBackupName(const std::filesystem::path& folder,
                                      const DeviceFacts& device,
                                      std::chrono::system_clock::time_point when) {
  const std::string stem = FileNamePart(device.Chip) + "_" + FileNamePart(device.Path) + "_" +
                           UtcStamp(when, "%Y%m%d-%H%M%S");
  std::filesystem::path name = folder / (stem + ".bin");
  for (int n = 2; std::filesystem::exists(name) ||
                  std::filesystem::exists(std::filesystem::path(name).replace_extension(".json"));
       ++n) {
    name = folder / (stem + "-" + std::to_string(n) + ".bin");
  }
  return name;
}

AutoBackup TakeAutoBackup(CliSession& session, const DeviceFacts& device,
                          const std::filesystem::path& folder,
                          std::chrono::system_clock::time_point when) {
  AutoBackup backup;
  // Backups may hold someone's disk sectors: the folder is the owner's alone.
  if (std::string problem = MakeOwnFolder(folder, FolderAccess::OwnerOnly); !problem.empty()) {
    backup.Problem = problem;
    return backup;
  }
  const std::filesystem::path file = FreshBackupName(folder, device, when);
  return RecordBackup(device, session.RunAction(EngineeringAction::BackupOnly, PathToUtf8(file)),
                      file, when);
}

AutoBackup RecordBackup(const DeviceFacts& device, RunReport run, const std::filesystem::path& file,
                        std::chrono::system_clock::time_point when) {
  AutoBackup backup;
  backup.File = file;
  backup.Run = std::move(run);
  if (!backup.Run.Claimed) {
    backup.Problem = "the backup did not succeed: " + backup.Run.Status;
    return backup;
  }
  const std::vector<std::uint8_t> bytes =
      ReadWholeFile(backup.File).value_or(std::vector<std::uint8_t>());
  if (bytes.empty()) {
    backup.Problem = "the backup file is missing or empty: " + PathToUtf8(backup.File);
    return backup;
  }
  backup.Size = bytes.size();
  backup.Sha256 = Sha256Hex(bytes);

  const nlohmann::json record = {
      {"schema", 1},
      {"file", PathToUtf8(backup.File.filename())},
      {"device", device.Path},
      {"chip", device.Chip},
      {"chip_type", device.ChipType},
      {"revision", device.ChipRevision},
      {"flash", device.FlashText},
      {"firmware_version", device.FirmwareVersion},
      {"procedure", std::string(UpdateProcedureName(backup.Run.Procedure))},
      {"size", backup.Size},
      {"sha256", backup.Sha256},
      {"created", UtcStamp(when, "%Y-%m-%dT%H:%M:%SZ")},
      {"program", "q71xfw"},
      {"program_version", Q71X_PROGRAM_VERSION},
  };
  backup.Record = std::filesystem::path(backup.File).replace_extension(".json");
  const std::string text = record.dump(2) + "\n";
  std::string reason;
  if (WriteFileSafely(backup.Record, text.data(), text.size(), FileAccess::OwnerOnly, reason) !=
      SafeWriteStatus::Written) {
    backup.Problem = "cannot write " + PathToUtf8(backup.Record) + ": " + reason;
    return backup;
  }
  backup.Proven = true;
  return backup;
}

}  // namespace q71x::cli
