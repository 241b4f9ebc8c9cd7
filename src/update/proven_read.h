// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A read the procedures may build on: flash and disk answers can come back short or garbled
// without the command reporting an error, so bytes that are written to a backup file, kept across
// an erase or compared against are read twice and trusted only when both reads succeed and agree.
// A bridge can also spoil one command block the same way every time it is sent; two reads made of
// the same command blocks then agree on the wrong bytes. The second read therefore goes through
// other command blocks wherever the command names an address and a length.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace q71x {

// Which of the two reads is asked for: the second must not repeat the first one's command blocks
// where the command allows another cut.
enum class ReadPass { First, Second };

// Fills `buffer` with `length` bytes; 1 on success.
using RangeRead = std::function<int(ReadPass pass, std::uint8_t* buffer, std::size_t length)>;

// Reads `length` bytes starting `offset` bytes into the range; 1 on success.
using AddressedRead =
    std::function<int(std::size_t offset, std::uint8_t* buffer, std::size_t length)>;

// A read whose command names where it reads: the first pass asks for the range as one request,
// the second asks for its first `firstPiece` bytes and then for the rest, so every command block
// of the second pass names another start or another length. A range no longer than `firstPiece`
// cannot be cut and is read the same way both times.
RangeRead SplitOnSecondPass(AddressedRead read, std::size_t firstPiece);

// A read whose command names no address (an identify page, a capacity): it cannot be cut, and
// both passes send the same command.
RangeRead SameOnEveryPass(std::function<int(std::uint8_t* buffer, std::size_t length)> read);

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

// Reads `length` bytes back through `read`'s second pass, so that the read-back of bytes kept
// through a proven read does not repeat that read's first command blocks, and compares them with
// `expected`: 1 when they match.
int ReadBackMatches(const RangeRead& read, const std::uint8_t* expected, std::size_t length);

}  // namespace q71x
