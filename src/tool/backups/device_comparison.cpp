// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/backups/device_comparison.h"

#include <cstdio>

#include "src/update/firmware_readout.h"
#include "src/update/work_buffer.h"

namespace q71x {

DeviceComparison CompareWithFootprint(const UpdateFootprint& footprint,
                                      const std::uint8_t* device) {
  DeviceComparison comparison;
  comparison.Excluded = footprint.Kept;
  comparison.Programmed = footprint.Programmed.size();
  comparison.Reach = footprint.Reach;
  for (std::uint64_t offset = 0; offset < footprint.Programmed.size(); ++offset) {
    if (InKeptRange(footprint.Kept, offset)) {
      continue;
    }
    ++comparison.Compared;
    if (device[offset] != footprint.Programmed[offset]) {
      ++comparison.Differing;
      if (!comparison.FirstDifference) {
        comparison.FirstDifference = offset;
      }
    }
  }
  // Nothing compared proves nothing.
  comparison.Verdict = comparison.Differing > 0 || comparison.Compared == 0
                           ? ComparisonVerdict::Differs
                           : ComparisonVerdict::Match;
  return comparison;
}

DeviceComparison CompareDevice(UpdateProcedure procedure, ToolWindow& window,
                               const std::string& devicePath, const UpdateFootprint& footprint) {
  const auto length = static_cast<std::uint32_t>(footprint.Programmed.size());
  AlignedBuffer device = AllocateWorkBuffer(length);
  DeviceComparison unproven;
  unproven.Excluded = footprint.Kept;
  unproven.Programmed = footprint.Programmed.size();
  unproven.Reach = footprint.Reach;
  if (!device.ok()) {
    unproven.Problem = "no memory for the device's bytes";
    return unproven;
  }
  const FirmwareReadout readout =
      ReadFirmwareProven(procedure, window, devicePath, device.data(), length);
  if (readout.Result != ProvenReadResult::Agreed) {
    unproven.Problem = readout.Problem;
    return unproven;
  }
  return CompareWithFootprint(footprint, device.data());
}

std::string HexOffset(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

const char* ComparisonVerdictName(ComparisonVerdict verdict) {
  switch (verdict) {
    case ComparisonVerdict::Match:
      return "match";
    case ComparisonVerdict::Differs:
      return "differs";
    case ComparisonVerdict::Unproven:
      return "unproven";
  }
  return "unproven";
}

}  // namespace q71x
