// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Helpers shared by the command-layer tests: byte lists, recorded-command filters and scripted
// replies keyed on the command block.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/scripted_platform.h"

namespace q71x::testing {

inline const std::string kBridgePath = "\\\\?\\usbstor#disk&ven_q71x&prod_bridge#1";

using ByteVector = std::vector<std::uint8_t>;

// The listed bytes, then zeros up to `length`.
inline ByteVector Padded(std::initializer_list<int> bytes, std::size_t length) {
  ByteVector out;
  for (int b : bytes) {
    out.push_back(static_cast<std::uint8_t>(b));
  }
  out.resize(length, 0);
  return out;
}
inline ByteVector Cdb12(std::initializer_list<int> bytes) {
  return Padded(bytes, 12);
}

// True when the recorded block starts with the given bytes.
inline bool CdbStartsWith(const RecordedCommand& c, std::initializer_list<int> prefix) {
  std::size_t i = 0;
  for (int b : prefix) {
    if (i >= c.Cdb.size() || c.Cdb[i] != static_cast<std::uint8_t>(b)) {
      return false;
    }
    ++i;
  }
  return true;
}

inline std::vector<RecordedCommand> CommandsStartingWith(const ScriptedPlatform& platform,
                                                         std::initializer_list<int> prefix) {
  std::vector<RecordedCommand> out;
  for (const RecordedCommand& c : platform.Commands()) {
    if (CdbStartsWith(c, prefix)) {
      out.push_back(c);
    }
  }
  return out;
}

inline ScriptedReply Reply(ByteVector data) {
  ScriptedReply reply;
  reply.Data = std::move(data);
  return reply;
}
inline ScriptedReply Failed() {
  return ScriptedReply{false, 0x45D, {}, 0};
}

// Answers the flash-status read (FF 04 12) with status(n) for its n-th call (0 = first read);
// every other command succeeds with no data.
inline ScriptedPlatform::Responder StatusSequence(std::function<ScriptedReply(int)> status) {
  auto reads = std::make_shared<int>(0);
  return [status, reads](const RecordedCommand& c) {
    if (CdbStartsWith(c, {0xFF, 0x04, 0x12})) {
      return status((*reads)++);
    }
    return ScriptedReply{};
  };
}

class CommandTest : public ::testing::Test {
 protected:
  ScriptedPlatform platform;
  ScopedActivePlatform scope{platform};
};

}  // namespace q71x::testing
