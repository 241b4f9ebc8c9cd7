// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_font.h"

#include <array>

namespace q71x::win32 {
namespace {

constexpr std::array<const wchar_t*, 7> kFaces = {
    L"MS Sans Serif", L"Microsoft Sans Serif", L"Arial", L"Liberation Sans", L"Nimbus Sans",
    L"Helvetica",     L"DejaVu Sans"};

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

bool Installed(HDC dc, const wchar_t* face) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(query.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(dc, &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

}  // namespace

std::wstring WindowFontFace() {
  HDC dc = GetDC(nullptr);
  std::wstring chosen;
  for (const wchar_t* face : kFaces) {
    if (Installed(dc, face)) {
      chosen = face;
      break;
    }
  }
  ReleaseDC(nullptr, dc);
  // None of them: the font mapper's own choice for a sans face.
  return chosen;
}

HFONT CreateWindowFont(int height, int dpi) {
  static const std::wstring face = WindowFontFace();
  return CreateFontW(MulDiv(height, dpi, USER_DEFAULT_SCREEN_DPI), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, face.c_str());
}

}  // namespace q71x::win32
