// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One logical unit as the host sees it through the gadget: every command block goes to the
// simulated enclosure as bytes, except the disk-housekeeping commands the kernel sends on its own
// (TEST UNIT READY, REQUEST SENSE, MODE SENSE, medium removal, cache flush), which a bridge answers
// without its firmware tools and the simulator does not model. A command the enclosure refuses
// fails with sense data; nothing it refused is reported as done.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "gadget/bot/sense_data.h"
#include "sim/simulated_system.h"

namespace q71x::gadget {

struct ScsiOutcome {
  bool Passed = false;
  std::uint32_t Transferred = 0;  // bytes of the data phase that carry meaning
};

class ScsiTarget {
 public:
  // Microseconds of a monotonic real clock. The enclosure lives on its virtual clock; the gadget
  // moves that clock on by the real time between commands, so a flash stays busy for as long
  // after a command as the host really waits.
  using RealClockUs = std::function<std::uint64_t()>;

  ScsiTarget(sim::SimulatedSystem& system, std::string enclosurePath, RealClockUs realClock);

  // `data` is the whole data phase the host announced (data-in: filled here; data-out: what the
  // host sent). Bytes of a data-in phase past Transferred are left as they were.
  ScsiOutcome Execute(const std::array<std::uint8_t, 16>& cdb, std::uint8_t cdbLength, bool dataIn,
                      std::span<std::uint8_t> data);

  const SenseData& PendingSense() const { return sense_; }

 private:
  ScsiOutcome Forward(const std::array<std::uint8_t, 16>& cdb, std::uint8_t cdbLength, bool dataIn,
                      std::span<std::uint8_t> data);
  ScsiOutcome RequestSense(const std::array<std::uint8_t, 16>& cdb, bool dataIn,
                           std::span<std::uint8_t> data);
  ScsiOutcome ModeSense(const std::array<std::uint8_t, 16>& cdb, bool tenByte, bool dataIn,
                        std::span<std::uint8_t> data);
  ScsiOutcome Fail(const SenseData& sense);
  ScsiOutcome Pass(std::uint32_t transferred);
  bool HasMedium();

  sim::SimulatedSystem& system_;
  std::string path_;
  RealClockUs realClock_;
  std::uint64_t lastRealUs_;
  SenseData sense_ = kNoSense;
};

}  // namespace q71x::gadget
