// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program carries file names as UTF-8 text (the window converts from UTF-16, the command
// line receives UTF-8). A std::filesystem::path made from a plain std::string would read that
// text in the system's ANSI code page on Windows, and path::string() would convert back through
// it (failing for a character outside it); these two go through UTF-8 on every system, so a name
// in any script opens the file it names.

#include <filesystem>
#include <string>
#include <string_view>

namespace q71x {

std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace q71x
