// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the DF-family tests read back from a recorded run: the flash blocks the procedures sent,
// in order, and a fixture that installs the scripted platform, dialogs and window for one test.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "src/update/work_buffer.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/support/scripted_platform.h"

namespace q71x::testing {

inline constexpr std::uint8_t kDfReadFlash = 0xFA;
inline constexpr std::uint8_t kDfWriteFlash = 0xFB;

// One DF flash block as it went over the wire.
struct DfBlock {
  std::uint8_t Command = 0;  // FA read, FB write
  std::uint32_t Address = 0;
  std::uint32_t Length = 0;
  std::uint8_t Mode = 0;  // byte 1: the erase mark of a write
  std::uint32_t TimeoutSeconds = 0;
  std::vector<std::uint8_t> Data;  // bytes sent by a write
};

inline bool IsDfFlashCommand(const RecordedCommand& c, std::uint8_t command) {
  return c.Cdb.size() == 12 && c.Cdb[0] == 0xDF && c.Cdb[11] == command;
}

inline bool IsFlashStatusRead(const RecordedCommand& c) {
  return c.Cdb.size() >= 3 && c.Cdb[0] == 0xFF && c.Cdb[1] == 0x04 && c.Cdb[2] == 0x12;
}

inline DfBlock DecodeDfBlock(const RecordedCommand& c) {
  DfBlock block;
  block.Command = c.Cdb[11];
  block.Mode = c.Cdb[1];
  block.Length = (static_cast<std::uint32_t>(c.Cdb[3]) << 8) | c.Cdb[4];
  block.Address = (static_cast<std::uint32_t>(c.Cdb[8]) << 16) |
                  (static_cast<std::uint32_t>(c.Cdb[9]) << 8) | c.Cdb[10];
  block.TimeoutSeconds = c.Record.TimeOutValue;
  block.Data = c.DataOut;
  return block;
}

// The DF blocks of one kind (FA or FB) in the order they were sent.
inline std::vector<DfBlock> DfBlocks(const std::vector<RecordedCommand>& commands,
                                     std::uint8_t command) {
  std::vector<DfBlock> blocks;
  for (const RecordedCommand& c : commands) {
    if (IsDfFlashCommand(c, command)) {
      blocks.push_back(DecodeDfBlock(c));
    }
  }
  return blocks;
}

// Commands other than the status reads of the ready waits, in order: the run's real steps.
inline std::vector<RecordedCommand> StepsOf(const std::vector<RecordedCommand>& commands) {
  std::vector<RecordedCommand> steps;
  for (const RecordedCommand& c : commands) {
    if (!IsFlashStatusRead(c)) {
      steps.push_back(c);
    }
  }
  return steps;
}

// Every DF read answers with `fill` bytes; everything else succeeds with no data.
inline ScriptedReply FilledReadReply(const RecordedCommand& c, std::uint8_t fill) {
  if (IsDfFlashCommand(c, kDfReadFlash)) {
    return ScriptedReply{true, 0, std::vector<std::uint8_t>(c.Record.DataTransferLength, fill), -1};
  }
  return ScriptedReply{};
}

inline std::size_t CountOf(const std::vector<std::string>& texts, const std::string& text) {
  std::size_t n = 0;
  for (const auto& t : texts) {
    n += t == text ? 1 : 0;
  }
  return n;
}

inline std::size_t DotCount(const std::string& text) {
  std::size_t n = 0;
  for (char ch : text) {
    n += ch == '.' ? 1 : 0;
  }
  return n;
}

// Refuses the work-buffer requests for which `refuse` says so, for one scope.
class ScopedWorkBufferFault {
 public:
  explicit ScopedWorkBufferFault(WorkBufferFaultHook refuse)
      : previous_(SetWorkBufferFaultHook(std::move(refuse))) {}
  ~ScopedWorkBufferFault() { SetWorkBufferFaultHook(std::move(previous_)); }
  ScopedWorkBufferFault(const ScopedWorkBufferFault&) = delete;
  ScopedWorkBufferFault& operator=(const ScopedWorkBufferFault&) = delete;

 private:
  WorkBufferFaultHook previous_;
};

// Refuses the n-th work-buffer request (counted from 1) of exactly `size` bytes.
inline WorkBufferFaultHook RefuseNthBuffer(std::size_t size, int nth = 1) {
  auto seen = std::make_shared<int>(0);
  return [size, nth, seen](std::size_t requested) { return requested == size && ++*seen == nth; };
}

class DfScriptedTest : public ::testing::Test {
 protected:
  DfScriptedTest() {
    window.state.AtmelFlashPart = -1;
    window.state.AmicFlashPart = -1;
  }

  std::vector<DfBlock> Writes() const { return DfBlocks(platform.Commands(), kDfWriteFlash); }
  std::vector<DfBlock> Reads() const { return DfBlocks(platform.Commands(), kDfReadFlash); }

  const std::string path = "\\\\?\\usbstor#disk&ven_q71x&prod_df#1";
  ScriptedPlatform platform;
  ScopedActivePlatform scope{platform};
  RecordingDialogs dialogs;
  RecordingWindow window;
};

}  // namespace q71x::testing
