// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A whole file's bytes in one read: simulated disk areas run to megabytes, and backups are read
// back whole to be hashed and compared.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace q71x {

// Nothing when the file is not a plain file (a FIFO, device, socket or folder is never opened),
// cannot be opened or is not read to its end.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path);
// A name held as text is UTF-8 and must pass through PathFromUtf8: converted on its own it would
// go through the ANSI code page on Windows, and a name outside it would open nothing.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& text) = delete;
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const char* text) = delete;

}  // namespace q71x
