// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/file_kind.h"

#include <system_error>

namespace q71x::cli {

std::optional<std::string> NotPlainFileKind(const std::filesystem::path& path) {
  std::error_code error;
  switch (std::filesystem::status(path, error).type()) {
    case std::filesystem::file_type::fifo:
      return "a FIFO";
    case std::filesystem::file_type::socket:
      return "a socket";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character:
      return "a device";
    case std::filesystem::file_type::directory:
      return "a folder";
    default:
      return std::nullopt;
  }
}

}  // namespace q71x::cli
