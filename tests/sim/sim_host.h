// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Sends hand-written command blocks straight to a simulated system, the way the platform layer
// would: a 12-byte block unless more bytes are given, a 1-byte transfer sent as 2 on the wire.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "sim/serial_flash.h"
#include "sim/simulated_system.h"

namespace q71x::sim::testing {

struct InResult {
  Reply reply;
  std::vector<std::uint8_t> data;  // the caller's length, as the transport copies it back
};

class Host {
 public:
  Host(SimulatedSystem& system, std::string path) : system_(system), path_(std::move(path)) {}

  InResult In(std::initializer_list<std::uint8_t> cdb, std::uint32_t length,
              std::uint32_t timeoutSeconds = 10) {
    std::vector<std::uint8_t> area(WireLength(length), 0x00);
    InResult result;
    result.reply = Send(cdb, true, area, timeoutSeconds);
    area.resize(length);
    result.data = std::move(area);
    return result;
  }
  Reply Out(std::initializer_list<std::uint8_t> cdb, std::vector<std::uint8_t> data = {},
            std::uint32_t timeoutSeconds = 50) {
    data.resize(WireLength(static_cast<std::uint32_t>(data.size())), 0x00);
    return Send(cdb, false, data, timeoutSeconds);
  }
  Reply Send(std::initializer_list<std::uint8_t> cdb, bool dataIn, std::vector<std::uint8_t>& area,
             std::uint32_t timeoutSeconds) {
    Request request;
    std::copy(cdb.begin(), cdb.end(), request.Cdb.begin());
    request.CdbLength = static_cast<std::uint8_t>(std::max<std::size_t>(cdb.size(), 12));
    request.DataIn = dataIn;
    request.WireLength = static_cast<std::uint32_t>(area.size());
    request.TimeoutSeconds = timeoutSeconds;
    request.Data = area;
    return system_.Execute(path_, request);
  }

  // Serial-flash helpers, each one FF 04 command written out.
  std::uint8_t Status() { return In({0xFF, 0x04, 0x12}, 1).data[0]; }
  // Polls the status every 10 ms until the busy bit clears; returns the number of re-reads, or
  // -1 when it is still busy after `limit` of them.
  int PollUntilIdle(int limit = 100000) {
    for (int polls = 0; polls <= limit; ++polls) {
      if ((Status() & 0x01) == 0) {
        return polls;
      }
      system_.Clock().AdvanceMs(10);
    }
    return -1;
  }
  std::vector<std::uint8_t> ReadBlock(std::uint32_t address, std::uint32_t length) {
    return In({0xFF, 0x04, 0x10, Byte(address, 16), Byte(address, 8), Byte(address, 0)}, length)
        .data;
  }
  Reply WriteBlock(std::uint32_t address, std::vector<std::uint8_t> data) {
    return Out({0xFF, 0x04, 0x11, Byte(address, 16), Byte(address, 8), Byte(address, 0)},
               std::move(data));
  }
  Reply EraseSector(std::uint32_t address) {
    return Out({0xFF, 0x04, 0x14, Byte(address, 16), Byte(address, 8), Byte(address, 0)});
  }
  Reply EraseChip() { return Out({0xFF, 0x04, 0x13}, {}, 100); }
  // SpiCommandIn as two blocks: the opcode with a data phase, then the bytes clocked back.
  InResult SpiIn(std::uint8_t opcode, std::uint32_t length) {
    const Reply first = In({0xFF, 0x04, 0x20, 0x01, 0x01, opcode}, 0).reply;
    if (!first.Ok) {
      return InResult{first, std::vector<std::uint8_t>(length, 0)};
    }
    return In({0xFF, 0x04, 0x21}, length);
  }
  InResult LegacyId(std::uint8_t opcode, bool dummies) {
    return In({0xFF, 0x04, 0x15, 0x03, opcode, static_cast<std::uint8_t>(dummies ? 3 : 0)}, 3);
  }
  // WRITE ENABLE then WRITE STATUS 00 through the raw channel.
  void ClearProtection() {
    Out({0xFF, 0x04, 0x20, 0x01, 0x00, 0x06});
    Out({0xFF, 0x04, 0x20, 0x02, 0x00, 0x01}, {0x01, 0x00});
  }

  SimulatedSystem& System() { return system_; }
  const std::string& Path() const { return path_; }

  static std::uint8_t Byte(std::uint32_t value, int shift) {
    return static_cast<std::uint8_t>(value >> shift);
  }

 private:
  static std::uint32_t WireLength(std::uint32_t length) { return length == 1 ? 2 : length; }

  SimulatedSystem& system_;
  std::string path_;
};

// One chip-select cycle straight on a flash part.
inline std::vector<std::uint8_t> Spi(SerialFlash& flash, std::vector<std::uint8_t> mosi,
                                     std::uint64_t nowUs) {
  return flash.Transact(mosi, nowUs);
}

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
  }
  return bytes;
}

}  // namespace q71x::sim::testing
