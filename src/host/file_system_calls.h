// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The system calls under the safe writer, one implementation per system (file_system_calls_posix
// and _win32), so that the writer's steps read the same everywhere. Internal to src/host.
// Each call takes the folder as opened and the full path: Linux works relative to the open
// folder, Windows by the path while the open folder handle keeps the folder from being moved.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "src/host/safe_file_write.h"

namespace q71x::host {

using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

struct Step {
  SafeWriteStatus Status = SafeWriteStatus::Written;
  std::string Reason;
  bool Missing = false;  // the thing asked for does not exist
  bool Taken = false;    // CreateTemporary: the name was taken, try another

  bool Ok() const { return Status == SafeWriteStatus::Written; }
};

// The user the root rule judges, when a test plays one (Linux; Windows has no such rule).
void SetPlayedUser(std::optional<unsigned> user);

// The name as the user would type it, for messages.
std::string Printable(const std::filesystem::path& path);

// Opens the folder without following a link at its own name, and applies the root rule.
Step OpenFolder(const std::filesystem::path& folder, Handle& opened);
void CloseFolder(Handle& folder);
// Makes `name` inside the open `parent`, owner-only, unless it exists.
Step MakeFolderIn(Handle parent, const std::filesystem::path& folder);
// Takes group and other access away from the open folder.
void MakeOwnerOnly(Handle folder);

// What stands at the target's name: nothing or a plain file passes.
Step CheckName(Handle folder, const std::filesystem::path& target, ExistingFile existing);
Step CreateTemporary(Handle folder, const std::filesystem::path& temporary, FileAccess access,
                     Handle& file);
Step WriteAll(Handle file, const char* data, std::size_t size);
Step FlushAndClose(Handle& file);
void CloseFile(Handle& file);
// The temporary name is gone afterwards, whichever way it ended.
Step PutInPlace(Handle folder, const std::filesystem::path& temporary,
                const std::filesystem::path& target, ExistingFile existing);
void RemoveTemporary(Handle folder, const std::filesystem::path& temporary);

}  // namespace q71x::host
