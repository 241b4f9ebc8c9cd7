// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// File names of 260 characters or more are refused everywhere the operator can give one (typed,
// loaded, dropped, backup): the tool never cuts a name, because a cut name can open or overwrite
// some other file. Characters are counted as the Windows API counts them (UTF-16 units) from the
// UTF-8 text the core keeps.

#include <cstddef>
#include <string_view>

namespace q71x {

inline constexpr std::size_t kMaxFileNameChars = 260;

inline std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) {
      units += byte >= 0xF0 ? 2 : 1;  // four-byte sequences need a surrogate pair
    }
  }
  return units;
}

inline bool FileNameTooLong(std::string_view utf8) {
  return Utf16Length(utf8) >= kMaxFileNameChars;
}

}  // namespace q71x
