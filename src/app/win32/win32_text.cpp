// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_text.h"

#include <windows.h>

namespace q71x::win32 {

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) {
    return {};
  }
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), length,
                      nullptr, nullptr);
  return narrow;
}

std::wstring Latin1ToWide(std::string_view bytes) {
  std::wstring wide;
  wide.reserve(bytes.size());
  for (const char byte : bytes) {
    wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
  }
  return wide;
}

std::wstring OpenFileFilter(std::string_view filter) {
  std::wstring pairs = Utf8ToWide(filter);
  for (wchar_t& c : pairs) {
    if (c == L'|') {
      c = L'\0';
    }
  }
  // One NUL ends the last entry, a second ends the list.
  pairs.push_back(L'\0');
  pairs.push_back(L'\0');
  return pairs;
}

}  // namespace q71x::win32
