#pragma once
// Writing a small file so that it survives a crash or a power cut at any moment: the bytes go to
// a temporary file beside it, are flushed to the disk, and the temporary file is renamed over the
// name in one step. A reader sees the old file, or the new one whole, never a part of it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace q71x {

// Empty text on success; else what failed, with the system's reason. The folder must exist.
std::string WriteFileDurably(const std::filesystem::path& file,
                             const std::vector<std::uint8_t>& bytes);

}  // namespace q71x
