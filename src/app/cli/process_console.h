// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the executable takes from its process and console, the same on every system: the
// arguments as UTF-8, whether a person sits at a terminal, and a console that shows UTF-8.

#include <string>
#include <vector>

namespace q71x::cli {

// Windows hands main() its arguments in the ANSI code page, which loses every character outside
// it; there they are read from the wide command line instead. Elsewhere they are argv as given.
std::vector<std::string> Utf8Arguments(int argc, char* argv[]);

// Standard input and standard error are both a terminal (on Windows: a console; the NUL device
// and pipes are not).
bool AtTerminal();
// Standard error alone is a terminal: where a progress bar can be drawn.
bool ErrorAtTerminal();

// While it lives, a Windows console shows the program's UTF-8 output as such; the console's own
// code page is put back afterwards. Nothing to do elsewhere.
class Utf8Console {
 public:
  Utf8Console();
  ~Utf8Console();
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  [[maybe_unused]] unsigned previous_ = 0;  // read on Windows only
};

}  // namespace q71x::cli
