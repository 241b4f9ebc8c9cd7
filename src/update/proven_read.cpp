// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/proven_read.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "src/update/work_buffer.h"

namespace q71x {

RangeRead SplitOnSecondPass(AddressedRead read, std::size_t firstPiece) {
  return [read = std::move(read), firstPiece](ReadPass pass, std::uint8_t* buffer,
                                              std::size_t length) {
    if (pass == ReadPass::First || firstPiece == 0 || length <= firstPiece) {
      return read(0, buffer, length);
    }
    return read(0, buffer, firstPiece) != 0 &&
                   read(firstPiece, buffer + firstPiece, length - firstPiece) != 0
               ? 1
               : 0;
  };
}

RangeRead SameOnEveryPass(std::function<int(std::uint8_t* buffer, std::size_t length)> read) {
  return [read = std::move(read)](ReadPass, std::uint8_t* buffer, std::size_t length) {
    return read(buffer, length);
  };
}

ProvenReadResult ReadTwiceAndCompare(const RangeRead& read, std::uint8_t* buffer,
                                     std::size_t length) {
  AlignedBuffer second = AllocateWorkBuffer(std::max<std::size_t>(length, 1));
  if (!second.ok()) {
    return ProvenReadResult::NoMemory;
  }
  // The two copies start from different fillings, so a reader that leaves unanswered bytes as
  // they were cannot make them agree. The pass-through transport hands back zeros for bytes the
  // bridge did not send, so there a single short answer is caught only where the real bytes are
  // not zeros, and a bridge that is short the same way every time is not caught at all.
  std::memset(buffer, 0x00, length);
  std::memset(second.data(), 0xA5, length);
  if (read(ReadPass::First, buffer, length) == 0 ||
      read(ReadPass::Second, second.data(), length) == 0) {
    return ProvenReadResult::ReadFailed;
  }
  return std::memcmp(buffer, second.data(), length) == 0 ? ProvenReadResult::Agreed
                                                         : ProvenReadResult::Differed;
}

std::string_view ProvenReadRefusal(ProvenReadResult result, std::string_view noMemoryText,
                                   std::string_view failText) {
  switch (result) {
    case ProvenReadResult::Agreed:
      return {};
    case ProvenReadResult::NoMemory:
      return noMemoryText;
    case ProvenReadResult::ReadFailed:
    case ProvenReadResult::Differed:
      break;
  }
  return failText;
}

int ReadBackMatches(const RangeRead& read, const std::uint8_t* expected, std::size_t length) {
  AlignedBuffer readBack = AllocateWorkBuffer(std::max<std::size_t>(length, 1));
  if (!readBack.ok() || read(ReadPass::Second, readBack.data(), length) == 0) {
    return 0;
  }
  return std::memcmp(readBack.data(), expected, length) == 0 ? 1 : 0;
}

}  // namespace q71x
