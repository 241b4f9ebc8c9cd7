// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The core speaks UTF-8; the Windows API's wide functions speak UTF-16. Every text that crosses
// between them goes through here, so a file name with any character survives the round trip.

#include <string>
#include <string_view>

namespace q71x::win32 {

// Malformed UTF-8 becomes U+FFFD rather than failing: a shown text is never lost whole.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
// Device names are the bridges' own bytes, shown one character per byte.
std::wstring Latin1ToWide(std::string_view bytes);

// "Name|*.ext|Name|*.*" as the open-file dialog wants it: pairs separated by NULs, ended by two.
std::wstring OpenFileFilter(std::string_view filter);

}  // namespace q71x::win32
