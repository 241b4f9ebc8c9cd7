// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/command_log.h"

namespace q71x::sim {

void CommandLog::Append(LoggedCommand entry) {
  if (capacity_ != 0 && entries_.size() >= capacity_) {
    entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(capacity_ / 2));
  }
  entries_.push_back(std::move(entry));
}

std::uint64_t DigestBytes(std::span<const std::uint8_t> bytes) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (std::uint8_t byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::vector<const LoggedCommand*> CommandLog::Matching(const CdbPattern& pattern) const {
  std::vector<const LoggedCommand*> found;
  for (const LoggedCommand& entry : entries_) {
    if (pattern.Matches(entry.Cdb)) {
      found.push_back(&entry);
    }
  }
  return found;
}

std::vector<const LoggedCommand*> CommandLog::ForPath(const std::string& path) const {
  std::vector<const LoggedCommand*> found;
  for (const LoggedCommand& entry : entries_) {
    if (entry.Path == path) {
      found.push_back(&entry);
    }
  }
  return found;
}

std::size_t CommandLog::Count(const CdbPattern& pattern) const {
  return Matching(pattern).size();
}

const LoggedCommand* CommandLog::Last(const CdbPattern& pattern) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (pattern.Matches(it->Cdb)) {
      return &*it;
    }
  }
  return nullptr;
}

}  // namespace q71x::sim
