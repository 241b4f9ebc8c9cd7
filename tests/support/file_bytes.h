// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Whole files as bytes, for tests that write image files and check backup files.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "src/host/whole_file.h"

namespace q71x::testing {

// The file's bytes; empty when it cannot be opened.
inline std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  return ReadWholeFile(path).value_or(std::vector<std::uint8_t>());
}

// Replaces the file with exactly `bytes`.
inline void WriteFileBytes(const std::filesystem::path& path,
                           const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

}  // namespace q71x::testing
