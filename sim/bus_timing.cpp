// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/bus_timing.h"

namespace q71x::sim {

std::uint64_t BusTiming::CommandCostUs(Bus bus, std::uint32_t dataBytes) const {
  if (!enabled_) {
    return 0;
  }
  const BusCost cost = bus == Bus::Usb ? kUsbHighSpeedCost : kIeee1394Cost;
  // Round the data part up so that even a 2-byte status read costs something.
  const std::uint64_t dataUs =
      (static_cast<std::uint64_t>(dataBytes) * cost.PerKibUs + 1023) / 1024;
  return cost.PerCommandUs + dataUs;
}

}  // namespace q71x::sim
