#pragma once
// A whole file's bytes in one read (backups are read back to be hashed).

#include <cstdint>
#include <filesystem>
#include <vector>

namespace q71x::cli {

// Empty when the file cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);

}  // namespace q71x::cli
