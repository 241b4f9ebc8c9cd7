// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/cdb_script.h"

#include <algorithm>

namespace q71x::testing {

void CdbScript::On(std::vector<std::uint8_t> prefix, ScriptedReply reply, const std::string& path) {
  // A later entry for the same prefix and path replaces the earlier one.
  entries_.erase(
      std::remove_if(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.path == path && e.prefix == prefix; }),
      entries_.end());
  entries_.push_back(Entry{path, std::move(prefix), std::move(reply)});
}

ScriptedReply CdbScript::Answer(const RecordedCommand& command) const {
  const Entry* best = nullptr;
  for (const Entry& e : entries_) {
    if (!e.path.empty() && e.path != command.Path) {
      continue;
    }
    if (e.prefix.size() > command.Cdb.size() ||
        !std::equal(e.prefix.begin(), e.prefix.end(), command.Cdb.begin())) {
      continue;
    }
    const bool longer = best == nullptr || e.prefix.size() > best->prefix.size();
    const bool samePrefixMorePrecise = best != nullptr && e.prefix.size() == best->prefix.size() &&
                                       best->path.empty() && !e.path.empty();
    if (longer || samePrefixMorePrecise) {
      best = &e;
    }
  }
  return best != nullptr ? best->reply : fallback_;
}

std::vector<std::uint8_t> TextBytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace q71x::testing
