// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A simulated system with one preset bridge, as the gadget hosts it, for the gadget's tests.

#include <gtest/gtest.h>

#include "sim/attached_disk.h"
#include "sim/presets.h"
#include "sim/simulated_system.h"

namespace q71x::gadget::testing {

// The enclosure of `preset`, with a 1 MiB disk behind the bridge when asked for.
inline sim::Enclosure& AddPresetBridge(sim::SimulatedSystem& system, const char* preset,
                                       bool withDisk) {
  std::optional<sim::Enclosure> enclosure = sim::MakePresetEnclosure(preset);
  EXPECT_TRUE(enclosure) << preset;
  if (withDisk) {
    sim::AttachedDiskGeometry geometry;
    geometry.ReportedSectors = 2048;
    geometry.IdentifySectors = 2048;
    enclosure->Bridge.Disk.emplace(geometry);
  }
  return system.AddEnclosure(std::move(*enclosure));
}

}  // namespace q71x::gadget::testing
