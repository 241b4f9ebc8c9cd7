// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/process_console.h"

#ifdef _WIN32
#include <windows.h>
// windows.h first: shellapi.h builds on its types.
#include <shellapi.h>

#include <filesystem>

#include "src/host/utf8_path.h"
#else
#include <unistd.h>
#endif

namespace q71x::cli {

#ifdef _WIN32

std::vector<std::string> Utf8Arguments(int argc, char* argv[]) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    return std::vector<std::string>(argv + 1, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) {
    // A path holds UTF-16 verbatim and gives it back as UTF-8: one conversion for names and
    // arguments alike.
    arguments.push_back(PathToUtf8(std::filesystem::path(wide[i])));
  }
  ::LocalFree(wide);
  return arguments;
}

namespace {
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}
}  // namespace

bool ErrorAtTerminal() {
  return IsConsole(STD_ERROR_HANDLE);
}

bool AtTerminal() {
  return IsConsole(STD_INPUT_HANDLE) && ErrorAtTerminal();
}

Utf8Console::Utf8Console() : previous_(::GetConsoleOutputCP()) {
  if (previous_ != 0 && previous_ != CP_UTF8) {
    ::SetConsoleOutputCP(CP_UTF8);
  }
}

Utf8Console::~Utf8Console() {
  if (previous_ != 0 && previous_ != CP_UTF8) {
    ::SetConsoleOutputCP(previous_);
  }
}

#else

std::vector<std::string> Utf8Arguments(int argc, char* argv[]) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

bool ErrorAtTerminal() {
  return ::isatty(2) != 0;
}

bool AtTerminal() {
  return ::isatty(0) != 0 && ErrorAtTerminal();
}

Utf8Console::Utf8Console() = default;
Utf8Console::~Utf8Console() = default;

#endif

}  // namespace q71x::cli
