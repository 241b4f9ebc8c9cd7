// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// -q: standard error keeps only what went wrong (and the confirmation question, which waits for
// an answer); the notes, warnings, progress and the procedures' console lines go nowhere.

#include <optional>
#include <ostream>
#include <streambuf>

#include "src/app/cli/cli_environment.h"
#include "src/update/status_reporting.h"

namespace q71x::cli {

class QuietScope {
 public:
  QuietScope(CliEnvironment& env, bool quiet);
  ~QuietScope();
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

  // Where errors go whatever the level: the standard error the scope found.
  std::ostream& Errors() { return *loud_; }

 private:
  class Discard final : public std::streambuf {
   protected:
    int_type overflow(int_type ch) override { return traits_type::not_eof(ch); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
  };

  CliEnvironment& env_;
  std::ostream* loud_;
  std::ostream* ask_;
  bool errTerminal_;
  Discard discard_;
  std::ostream silent_{&discard_};
  std::optional<ConsoleLineSink> previousConsole_;
};

}  // namespace q71x::cli
