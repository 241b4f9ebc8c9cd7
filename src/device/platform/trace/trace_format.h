// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One line per platform exchange, so that a user with a real enclosure can attach a recording
// to a report and the recording can be replayed as a regression test.
//
//   OPEN <S|X|Q> <path> <ok> <error>
//   PT <path> <cdb> <dataIn> <length> <timeout> <dataOut|-> <ok> <error> <transferred> <dataIn|->
//      <result> <status> <sense|->
//   DEVNUM <path> <ok> <error> <type> <number> <partition>
//   ENUM <D|C> <ok> <path>...
//   VOLUMES <name>,<queryPath>,<system>,<remote> ...
//   LIMIT <path> <bytes>          (the largest transfer the system carries; 0: not said)
//
// Paths, names and byte strings are written in hex so that no character of theirs can break a
// line. <result> is good, check, timeout, transport or os; a line of an older recording without
// the last three fields reads as good when it succeeded and as an operating-system error when not.
// A trace recorded without data has its own first line and "*" in place of both data fields of
// every PT line: it shows what was asked and how it went, but cannot be replayed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "src/device/platform/platform.h"

namespace q71x::trace {

inline constexpr const char* kTraceHeader = "Q71X-TRACE 1";
inline constexpr const char* kTraceHeaderWithoutData = "Q71X-TRACE 1 without-data";

// What a recording keeps of each exchange.
enum class TraceContent {
  Everything,   // the data sent and received as well: replayable
  WithoutData,  // paths, command blocks, directions, lengths, time-outs and results only
};

std::string ToHex(const std::uint8_t* bytes, std::size_t size);
std::string ToHex(const std::string& text);
// Nothing when the text is not an even run of hex digits ("-" is the empty string).
std::optional<std::vector<std::uint8_t>> FromHex(const std::string& hex);
std::optional<std::string> TextFromHex(const std::string& hex);

char AccessModeLetter(AccessMode mode);

struct PassThroughExchange {
  std::string Path;
  std::vector<std::uint8_t> Cdb;
  std::uint8_t DataIn = 0;
  std::uint32_t Length = 0;
  std::uint32_t Timeout = 0;
  std::vector<std::uint8_t> DataOut;
  bool Ok = false;
  std::uint32_t Error = 0;
  std::uint32_t Transferred = 0;
  std::vector<std::uint8_t> DataInBytes;
  bool DataLeftOut = false;  // recorded without data: DataOut and DataInBytes were not kept
  PassThroughOutcome Outcome;
};

std::string FormatPassThrough(const PassThroughExchange& exchange);
std::optional<PassThroughExchange> ParsePassThrough(const std::string& line);

}  // namespace q71x::trace
