// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/display_check.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace q71x {
namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

bool AsksForTextOnly(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-?" ||
        arg == "--version") {
      return true;
    }
  }
  return false;
}

}  // namespace

bool DisplayForTheWindow(int argc, char* argv[], const char* program) {
#if defined(__unix__) && !defined(__APPLE__)
  if (Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM")) {
    return true;
  }
  if (AsksForTextOnly(argc, argv)) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return true;
  }
  std::fprintf(stderr,
               "%s: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): the window cannot "
               "open.\nStart it from a desktop session, or on a virtual display with "
               "xvfb-run -a %s.\n",
               program, program);
  return false;
#else
  (void)argc;
  (void)argv;
  (void)program;
  return true;
#endif
}

}  // namespace q71x
