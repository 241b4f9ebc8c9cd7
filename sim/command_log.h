// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Every exchange the simulated system carried out, in order, for tests to inspect: what was
// asked of which device, what came back, and when on the virtual clock.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/cdb_pattern.h"
#include "sim/exchange.h"

namespace q71x::sim {

enum class FaultKind;

struct LoggedCommand {
  std::string Path;
  std::vector<std::uint8_t> Cdb;  // CdbLength bytes
  bool DataIn = false;
  std::uint32_t WireLength = 0;
  std::uint32_t TimeoutSeconds = 0;
  // Data-out bytes as sent, up to kLoggedDataLimit of them; the digest covers all of them.
  std::vector<std::uint8_t> DataOut;
  std::uint64_t DataOutDigest = 0;
  bool Ok = false;
  std::uint32_t ErrorCode = 0;
  std::uint32_t Transferred = 0;
  bool FaultApplied = false;
  std::uint64_t StartUs = 0;
  std::uint64_t EndUs = 0;
};

inline constexpr std::size_t kLoggedDataLimit = 65536;

// FNV-1a over the bytes: cheap, stable, good enough to tell two data phases apart.
std::uint64_t DigestBytes(std::span<const std::uint8_t> bytes);

class CommandLog {
 public:
  // A long-running program keeps only the most recent commands: past `maxEntries` the older
  // half is dropped. 0 (the default, for tests) keeps everything.
  void SetCapacity(std::size_t maxEntries) { capacity_ = maxEntries; }
  void Append(LoggedCommand entry);
  void Clear() { entries_.clear(); }
  const std::vector<LoggedCommand>& Entries() const { return entries_; }
  std::size_t Size() const { return entries_.size(); }

  std::vector<const LoggedCommand*> Matching(const CdbPattern& pattern) const;
  std::vector<const LoggedCommand*> ForPath(const std::string& path) const;
  std::size_t Count(const CdbPattern& pattern) const;
  // The most recent matching command, or null.
  const LoggedCommand* Last(const CdbPattern& pattern) const;

 private:
  std::vector<LoggedCommand> entries_;
  std::size_t capacity_ = 0;
};

}  // namespace q71x::sim
