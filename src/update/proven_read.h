// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A read the procedures may build on: flash and disk answers can come back short or garbled
// without the command reporting an error, so bytes that are written to a backup file, kept across
// an erase or compared against are read twice and trusted only when both reads succeed and agree.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace q71x {

// Fills `buffer` with `length` bytes; 1 on success.
using RangeRead = std::function<int(std::uint8_t* buffer, std::size_t length)>;

enum class ProvenReadResult {
  Agreed,      // `buffer` holds the bytes both reads returned
  ReadFailed,  // a read reported failure
  Differed,    // both reads succeeded but returned different bytes
  NoMemory,    // the second copy could not be allocated
};

// Reads into `buffer`, reads again into a scratch copy and compares. On any result but Agreed the
// contents of `buffer` must not be used.
ProvenReadResult ReadTwiceAndCompare(const RangeRead& read, std::uint8_t* buffer,
                                     std::size_t length);

// The same, for callers that only need to know whether the bytes can be trusted.
inline bool ReadProven(const RangeRead& read, std::uint8_t* buffer, std::size_t length) {
  return ReadTwiceAndCompare(read, buffer, length) == ProvenReadResult::Agreed;
}

// The text that stops a run whose bytes could not be proven: empty for Agreed, `noMemoryText`
// when the second copy could not be had, `failText` for a failed or differing read.
std::string_view ProvenReadRefusal(ProvenReadResult result, std::string_view noMemoryText,
                                   std::string_view failText);

// Reads `length` bytes back through `read` and compares them with `expected`: 1 when they match.
int ReadBackMatches(const RangeRead& read, const std::uint8_t* expected, std::size_t length);

}  // namespace q71x
