// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A moment as UTC text, for file names and records that must read the same wherever they were
// written: the C library's thread-safe conversion is spelled differently on every system.

#include <chrono>
#include <string>

namespace q71x {

// `when` in UTC through strftime's `format`; at most 31 characters.
std::string UtcText(std::chrono::system_clock::time_point when, const char* format);

}  // namespace q71x
