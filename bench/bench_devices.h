// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The enclosures measurements run on: every simulator preset by its key, and a few devices of
// the bench's own for the cases no preset reaches: a 1 MB flash behind the bridges whose presets
// carry 64 KB parts (the largest update and the image-size series of the streaming procedure),
// and the late QVN962 with an SST flash answering BF 25, the one device the dual-path update
// runs on.

#include <string>
#include <string_view>

#include "sim/simulated_system.h"

namespace q71x::bench {

inline constexpr const char* kQvk842Eon1m = "bench-qvk842-eon-1m";
inline constexpr const char* kQv40714Eon1m = "bench-qv40714-eon-1m";
inline constexpr const char* kQvn962SstSpi = "bench-qvn962-sst-spi";

// Adds the device (bench device or preset) to the system; null when the key names neither.
sim::Enclosure* AddBenchDevice(sim::SimulatedSystem& system, std::string_view key);

}  // namespace q71x::bench
