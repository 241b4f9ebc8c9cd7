// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Standard error with --json --progress: JSON lines and nothing else, so that a JSON filter can
// read all of it. The progress events are written as they are; the procedures' console lines
// ("NVRAM O.K.") become {"event":"status","text":...}, and every other line (the program's own
// diagnostics, the platform's debug output) {"event":"diagnostic","text":...}.

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "src/device/platform/forwarding_platform.h"
#include "src/update/status_reporting.h"

namespace q71x::cli {

// A stream whose every line goes to `err` as one event: a line that already is an event
// (begins with {"event":) as it is, any other as a diagnostic. A line is written whole or not
// at all; an unfinished one goes out when the stream is flushed or ends.
class EventLineStream final : public std::ostream {
 public:
  explicit EventLineStream(std::ostream& err);
  ~EventLineStream() override;

 private:
  class Lines final : public std::streambuf {
   public:
    explicit Lines(std::ostream& err) : err_(err) {}
    void Finish();

   protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    // A flushed partial line (the confirmation question, which waits for its answer) goes out
    // as an event of its own.
    int sync() override;

   private:
    void Emit();
    std::ostream& err_;
    std::string line_;
  };
  Lines lines_;
};

// The procedures' console lines as status events on `err`, for the life of the scope.
class ConsoleLinesAsEvents {
 public:
  explicit ConsoleLinesAsEvents(std::ostream& err);
  ~ConsoleLinesAsEvents();
  ConsoleLinesAsEvents(const ConsoleLinesAsEvents&) = delete;
  ConsoleLinesAsEvents& operator=(const ConsoleLinesAsEvents&) = delete;

 private:
  ConsoleLineSink previous_;
};

// The platform's debug output (every failed command with its sense, the probes' lines) as lines
// on `lines` instead of the system's debugger channel or standard error; dropped when `lines` is
// null (without -v: a script's standard error is for what went wrong).
class DebugOutputTo final : public ForwardingPlatform {
 public:
  DebugOutputTo(Platform& inner, std::ostream* lines) : ForwardingPlatform(inner), lines_(lines) {}
  void DebugOutput(const std::string& text) override;

 private:
  std::ostream* lines_;
};

}  // namespace q71x::cli
