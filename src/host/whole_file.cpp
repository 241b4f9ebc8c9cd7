// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/whole_file.h"

#include <fstream>
#include <system_error>

namespace q71x {

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code error;
  // Checked before the open: opening a FIFO waits for a writer that may never come.
  if (!std::filesystem::is_regular_file(path, error)) {
    return std::nullopt;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::uintmax_t>(in.gcount()) != size) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace q71x
