// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Several enclosures updated by one q71xfw, against the slowest single update (printed).

#include <filesystem>

namespace q71x::bench {

// `root`: a folder of the bench's own; `pace`: the simulator's pace (1: real time).
void SideBySideAtPace(const std::filesystem::path& root, double pace);

}  // namespace q71x::bench
