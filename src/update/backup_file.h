// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The backup file of the engineering "backup only" actions: which path it goes to, and writing it
// so that a file that did not receive every byte is never taken for a good backup, and a failed
// backup never costs the operator an earlier one of the same name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "src/host/safe_file_write.h"

namespace q71x {

// The text of the backup field, or `defaultName` (in the current directory) after the
// default-name box when the field is empty. False for a text of 260 characters or more: the
// field cannot hold it, and a name cut to fit could overwrite some other file.
bool ChooseBackupPath(const std::string& fieldText, std::string_view defaultName,
                      std::string& path);

// Writes `length` bytes beside the path and puts them in place under it once all are on disk,
// readable by their owner alone (a backup can hold someone's disk sectors). Anything but Written
// leaves what stood at the path as it was, and tells field engineers why on the debugger channel.
SafeWriteStatus WriteBackupFile(const std::string& path, const std::uint8_t* data,
                                std::size_t length);

// The status text for a backup that was not written. `notCreatedText` is the procedure's own
// text for a file that could not be created.
std::string_view BackupFailureText(SafeWriteStatus status, std::string_view notCreatedText);

}  // namespace q71x
