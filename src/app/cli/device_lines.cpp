// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/device_lines.h"

#include <nlohmann/json.hpp>

#include "src/app/cli/json_text.h"

namespace q71x::cli {
namespace {

constexpr std::string_view kEventStart = "{\"event\":";

std::string_view WithoutLineEnd(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

nlohmann::ordered_json EventOf(std::string_view line) {
  if (line.substr(0, kEventStart.size()) == kEventStart) {
    nlohmann::ordered_json event = nlohmann::ordered_json::parse(line, nullptr, false);
    if (!event.is_discarded() && event.is_object()) {
      return event;
    }
  }
  return nlohmann::ordered_json{{"event", "diagnostic"}, {"text", line}};
}

}  // namespace

void SharedLines::Write(int device, const std::string& id, std::string_view line) {
  line = WithoutLineEnd(line);
  std::string whole;
  if (json_) {
    nlohmann::ordered_json event = EventOf(line);
    event["device"] = device;
    event["id"] = id.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(id);
    whole = JsonText(event) + "\n";
  } else {
    whole = "[" + std::to_string(device) + (id.empty() ? "" : " " + id) + "] " + std::string(line) +
            "\n";
  }
  const std::lock_guard<std::mutex> hold(lock_);
  err_ << whole << std::flush;
}

DeviceLines::DeviceLines(SharedLines& shared, int device)
    : std::ostream(&lines_), lines_(shared, device) {}

DeviceLines::~DeviceLines() {
  lines_.Finish();
}

void DeviceLines::Lines::Finish() {
  if (!line_.empty()) {
    shared_.Write(device_, Id, line_);
    line_.clear();
  }
}

DeviceLines::Lines::int_type DeviceLines::Lines::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) {
    return traits_type::not_eof(ch);
  }
  const char c = traits_type::to_char_type(ch);
  if (c == '\n') {
    Finish();
  } else if (c != '\r') {
    line_.push_back(c);
  }
  return ch;
}

std::streamsize DeviceLines::Lines::xsputn(const char* text, std::streamsize count) {
  for (std::streamsize i = 0; i < count; ++i) {
    overflow(traits_type::to_int_type(text[i]));
  }
  return count;
}

int DeviceLines::Lines::sync() {
  Finish();
  return 0;
}

}  // namespace q71x::cli
