// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Sample images for the simulator's enclosures, ready for Load File: one per preset, made for
// the chip type and revision the preset identifies as, so each one matches its enclosure.

#include <filesystem>
#include <string>
#include <vector>

namespace q71x {

// Writes "<preset key>.bin" for every preset into `folder` (created when missing); files that
// already exist are left as they are. Returns what could not be written, each with why (a
// refused folder once).
std::vector<std::string> WritePresetSampleImages(const std::filesystem::path& folder);

}  // namespace q71x
