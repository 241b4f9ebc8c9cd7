// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/win32/win32_program.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
// clang-format on

#include <filesystem>

#include "src/app/win32/win32_text.h"

namespace q71x::win32 {

std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return arguments;
  }
  for (int i = 0; i < count; ++i) {
    arguments.push_back(WideToUtf8(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return {};
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return WideToUtf8(std::filesystem::path(path).parent_path().wstring());
}

void InitCommonControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);
}

}  // namespace q71x::win32
