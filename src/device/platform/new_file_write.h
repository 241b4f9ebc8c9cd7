// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Writing a file that must not exist yet: the name is created exclusively, in one step with the
// check, so nothing that stands at it (a file, a link, a file someone made in between) is ever
// replaced or followed. For a record beside a backup, where replacing the name would lose what
// the user kept there. The file is its owner's only (0600 on Linux; on Windows it takes the
// folder's access list): a record names the user's devices and files.

#include <cstddef>
#include <filesystem>
#include <string>

namespace q71x {

enum class NewFileStatus {
  Written,  // created, every byte on disk
  Exists,   // something stands at the name; it is as it was
  Failed,   // not created, or removed again after a write failed
};

NewFileStatus WriteNewFile(const std::filesystem::path& path, const void* data, std::size_t size,
                           std::string& reason);

}  // namespace q71x
