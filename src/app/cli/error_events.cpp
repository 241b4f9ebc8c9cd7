// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/error_events.h"

#include <string_view>

#include "src/app/cli/json_text.h"

namespace q71x::cli {
namespace {

constexpr std::string_view kEventStart = "{\"event\":";

void WriteEvent(std::ostream& err, const char* kind, std::string_view text) {
  // Whole lines in one write: a line is never split by another writer's.
  err << JsonText(nlohmann::ordered_json{{"event", kind}, {"text", text}}) + "\n" << std::flush;
}

std::string_view WithoutLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

EventLineStream::EventLineStream(std::ostream& err) : std::ostream(&lines_), lines_(err) {}

EventLineStream::~EventLineStream() {
  lines_.Finish();
}

void EventLineStream::Lines::Finish() {
  if (!line_.empty()) {
    Emit();
  }
}

EventLineStream::Lines::int_type EventLineStream::Lines::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) {
    return traits_type::not_eof(ch);
  }
  const char c = traits_type::to_char_type(ch);
  if (c == '\n') {
    Emit();
  } else {
    line_.push_back(c);
  }
  return ch;
}

std::streamsize EventLineStream::Lines::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) {
    overflow(traits_type::to_int_type(text[i]));
  }
  return count;
}

int EventLineStream::Lines::sync() {
  Finish();
  return 0;
}

void EventLineStream::Lines::Emit() {
  const std::string_view line = WithoutLineEnd(line_);
  if (line.substr(0, kEventStart.size()) == kEventStart) {
    err_ << std::string(line) + "\n" << std::flush;
  } else {
    WriteEvent(err_, "diagnostic", line);
  }
  line_.clear();
}

ConsoleLinesAsEvents::ConsoleLinesAsEvents(std::ostream& err)
    : previous_(SetConsoleLineSink(
          [&err](std::string_view line) { WriteEvent(err, "status", WithoutLineEnd(line)); })) {}

ConsoleLinesAsEvents::~ConsoleLinesAsEvents() {
  SetConsoleLineSink(std::move(previous_));
}

void DebugOutputTo::DebugOutput(const std::string& text) {
  if (lines_ != nullptr) {
    *lines_ << WithoutLineEnd(text) << "\n";
  }
}

}  // namespace q71x::cli
