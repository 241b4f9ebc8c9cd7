// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The device's firmware memory held against what an update with an image leaves there: read
// through the backup's proven reads, compared byte for byte over what the update programs, with
// the ranges the update keeps from the device left out. A read that cannot be proven is never a
// match.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "src/update/tool_window.h"
#include "src/update/update_footprint.h"
#include "src/update/update_procedure.h"

namespace q71x {

enum class ComparisonVerdict { Match, Differs, Unproven };

struct DeviceComparison {
  ComparisonVerdict Verdict = ComparisonVerdict::Unproven;
  std::string Problem;          // Unproven: why the device's bytes cannot be trusted
  std::uint64_t Compared = 0;   // bytes compared
  std::uint64_t Differing = 0;  // of those, how many differ
  std::optional<std::uint64_t> FirstDifference;
  std::vector<KeptRange> Excluded;  // the ranges the update keeps
  std::uint64_t Programmed = 0;     // bytes from address 0 the update programs
  std::uint64_t Reach = 0;          // bytes from address 0 it may change, erased or programmed
};

// Compares `device` (the proven bytes of the firmware memory from address 0, as many as
// `footprint` programs) with the footprint.
DeviceComparison CompareWithFootprint(const UpdateFootprint& footprint, const std::uint8_t* device);

// Reads the device `procedure` updates and compares it with `footprint`.
DeviceComparison CompareDevice(UpdateProcedure procedure, ToolWindow& window,
                               const std::string& devicePath, const UpdateFootprint& footprint);

const char* ComparisonVerdictName(ComparisonVerdict verdict);
// An offset or length in the reports' hexadecimal form ("0xC000").
std::string HexOffset(std::uint64_t value);

}  // namespace q71x
