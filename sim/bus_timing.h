// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What one command costs on the host bus: a fixed cost per command (command, status and
// scheduling overhead) plus a cost per byte moved. Switchable off for tests that want the clock
// to show only sleeps and flash times. With it off the host is infinitely fast while the flash
// keeps its data-sheet times, so raw-channel sequences that never poll (SST auto-increment runs)
// reach a part that is still busy and are ignored, as they would be on a much faster bus.

#include <cstdint>

namespace q71x::sim {

enum class Bus { Usb, Ieee1394 };

struct BusCost {
  std::uint32_t PerCommandUs;
  std::uint32_t PerKibUs;  // microseconds per 1024 bytes of data phase
};

// USB 2.0 high speed, bulk-only transport: command, data and status stages each wait for a
// microframe; about 30 MB/s of payload.
inline constexpr BusCost kUsbHighSpeedCost{375, 33};
// IEEE 1394 S400 with SBP-2: ORB fetch and status write-back; about 40 MB/s of payload.
inline constexpr BusCost kIeee1394Cost{300, 25};

class BusTiming {
 public:
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_; }
  std::uint64_t CommandCostUs(Bus bus, std::uint32_t dataBytes) const;

 private:
  bool enabled_ = true;
};

}  // namespace q71x::sim
