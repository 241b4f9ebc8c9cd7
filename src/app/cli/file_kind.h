// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a name the command line reads stands for, asked of the system before anything opens it:
// opening a FIFO waits for a writer that may never come, and a device or a folder is no image.

#include <filesystem>
#include <optional>
#include <string>

namespace q71x::cli {

// "a FIFO", "a socket", "a device", "a folder" (symbolic links followed); nothing for a plain
// file or a name that does not exist.
std::optional<std::string> NotPlainFileKind(const std::filesystem::path& path);

}  // namespace q71x::cli
