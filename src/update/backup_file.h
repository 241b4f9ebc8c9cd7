#pragma once
// The backup file of the engineering "backup only" actions: which path it goes to, and writing it
// so that a file that did not receive every byte is never taken for a good backup.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace q71x {

enum class BackupFileResult {
  Written,     // every byte reached the file and it closed cleanly
  NotCreated,  // the file could not be created or truncated; nothing was written
  Incomplete,  // the file exists but a write or the close failed
};

// The text of the backup field, or `defaultName` (in the current directory) after the
// default-name box when the field is empty. False for a text of 260 characters or more: the
// field cannot hold it, and a name cut to fit could overwrite some other file.
bool ChooseBackupPath(const std::string& fieldText, std::string_view defaultName,
                      std::string& path);

// Creates or truncates the file and writes `length` bytes as they are.
BackupFileResult WriteBackupFile(const std::string& path, const std::uint8_t* data,
                                 std::size_t length);

}  // namespace q71x
