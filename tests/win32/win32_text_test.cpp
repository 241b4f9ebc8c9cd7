// SPDX-License-Identifier: GPL-2.0-or-later
// UTF-8 <-> UTF-16 for every text between the core and the wide API, and the dialog filter.
#include <gtest/gtest.h>

#include <iterator>

#include "src/app/win32/win32_text.h"

namespace q71x::win32 {
namespace {

TEST(Win32Text, NamesOutsideAsciiSurviveTheRoundTrip) {
  // "C:\Prüfung\固件\😀.bin": Latin-1, CJK and a character beyond the BMP (a surrogate pair).
  const std::string utf8 =
      "C:\\Pr\xC3\xBC"
      "fung\\\xE5\x9B\xBA\xE4\xBB\xB6\\\xF0\x9F\x98\x80.bin";
  const std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide, L"C:\\Pr\u00FCfung\\\u56FA\u4EF6\\\U0001F600.bin");
  EXPECT_EQ(wide.size(), 20u);  // the emoji takes two UTF-16 units
  EXPECT_EQ(WideToUtf8(wide), utf8);
}

TEST(Win32Text, EmptyTextsStayEmpty) {
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(Win32Text, MalformedUtf8IsShownAsReplacementCharacters) {
  const std::wstring wide = Utf8ToWide(
      "ab\xFF"
      "cd");
  EXPECT_EQ(wide, L"ab\uFFFDcd");
}

TEST(Win32Text, DeviceNamesShowOneCharacterPerByte) {
  EXPECT_EQ(Latin1ToWide("QV\xE9\xFF"), L"QV\u00E9\u00FF");
}

TEST(Win32Text, OpenFileFilterIsNulSeparatedAndDoublyEnded) {
  const std::wstring filter = OpenFileFilter("BinaryFile|*.bin|All Files|*.*|QVF Files|*.qvf");
  // The literal's own terminator is the second NUL at the end.
  constexpr wchar_t kExpected[] = L"BinaryFile\0*.bin\0All Files\0*.*\0QVF Files\0*.qvf\0";
  const std::wstring expected(kExpected, std::size(kExpected));
  EXPECT_EQ(filter, expected);
}

}  // namespace
}  // namespace q71x::win32
