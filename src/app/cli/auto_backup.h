#pragma once
// The backup taken before anything is erased: the whole firmware read back through the
// family's backup action (whose reads prove themselves), kept in the user's data folder under a
// name no earlier backup has, with a JSON record beside it that says what it holds.
//   <data>/q71xfw/backups/<chip>_<device>_<YYYYMMDD-HHMMSS>[-n].bin   (+ .json)
// The folder is the owner's only, and so are the files.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "src/app/cli/cli_session.h"

namespace q71x::cli {

struct AutoBackup {
  bool Proven = false;  // the backup action claimed success and the file holds bytes
  std::string Problem;  // why not, when not
  std::filesystem::path File;
  std::filesystem::path Record;
  std::uint64_t Size = 0;
  std::string Sha256;
  RunReport Run;
};

std::filesystem::path AutoBackupFolder(const std::filesystem::path& dataFolder);

// A file name in `folder` that does not exist yet, from the chip, the device path and `when`.
std::filesystem::path FreshBackupName(const std::filesystem::path& folder,
                                      const DeviceFacts& device,
                                      std::chrono::system_clock::time_point when);

// Writes the record beside a backup `run` claimed to have written to `file`, after checking the
// file holds bytes; the file and the record are made the owner's only.
AutoBackup RecordBackup(const DeviceFacts& device, RunReport run, const std::filesystem::path& file,
                        std::chrono::system_clock::time_point when);

// Runs the backup action on the selected device (`device` holds its facts) into a fresh name
// and writes the record.
AutoBackup TakeAutoBackup(CliSession& session, const DeviceFacts& device,
                          const std::filesystem::path& folder,
                          std::chrono::system_clock::time_point when);

}  // namespace q71x::cli
