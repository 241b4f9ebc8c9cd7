// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Scripted replies keyed by command-block prefix, for ScriptedPlatform: the longest matching
// prefix answers; commands that match nothing get the fallback (success, no data by default).
// Per-path scripts let one platform stand for several devices.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/support/scripted_platform.h"

namespace q71x::testing {

class CdbScript {
 public:
  // Answer commands starting with `prefix` (on any path, or only on `path`).
  void On(std::vector<std::uint8_t> prefix, ScriptedReply reply, const std::string& path = "");
  void Fail(std::vector<std::uint8_t> prefix, const std::string& path = "") {
    On(std::move(prefix), ScriptedReply{false, 1117, {}, 0}, path);
  }
  void SetFallback(ScriptedReply reply) { fallback_ = std::move(reply); }
  ScriptedReply Answer(const RecordedCommand& command) const;
  // Installs this script as the platform's responder (the script must outlive the platform's
  // use of it).
  void Attach(ScriptedPlatform& platform) {
    platform.SetResponder([this](const RecordedCommand& c) { return Answer(c); });
  }

 private:
  struct Entry {
    std::string path;
    std::vector<std::uint8_t> prefix;
    ScriptedReply reply;
  };
  std::vector<Entry> entries_;
  ScriptedReply fallback_;
};

// Bytes of a text, for building replies.
std::vector<std::uint8_t> TextBytes(const std::string& text);

}  // namespace q71x::testing
