// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What an update with a given image leaves in the device's firmware memory, family by family,
// worked out from the same sizes and rules the update procedures follow: the bytes it programs
// from address 0 (the image as each procedure pads and places it), and the ranges the update
// keeps as the device had them (configuration areas, the disk area's descriptor). Nothing is
// sent to the device; a comparison reads the device and holds it against this.

#include <cstdint>
#include <string>
#include <vector>

#include "src/update/tool_window.h"
#include "src/update/update_procedure.h"

namespace q71x {

struct KeptRange {
  std::uint32_t Offset = 0;
  std::uint32_t Length = 0;
  std::string What;  // which area the update keeps there
};

struct UpdateFootprint {
  std::string Refusal;  // why the update would not take the image; empty when it would
  // The bytes the update programs, from firmware address 0 (from the first sector of the area on
  // the disk-kept families). Bytes inside a kept range are the image's and not meaningful.
  std::vector<std::uint8_t> Programmed;
  // Ranges whose contents the update keeps from the device; inside `Programmed` they are not
  // compared, outside it they are named for the report.
  std::vector<KeptRange> Kept;
  // The bytes from address 0 the update may change, erased or programmed: `Programmed` rounded
  // up to the largest erase unit any family erases by (64 KB). A backup taken before the update
  // must hold at least these to put the memory back as it was. An update that erases the whole
  // chip (serial flash above 64 KB) reaches past this; the tool does not know the chip's size.
  std::uint64_t Reach = 0;
};

inline constexpr std::uint32_t kLargestEraseUnit = 65536;

// Whether `offset` lies in one of the kept ranges.
bool InKeptRange(const std::vector<KeptRange>& kept, std::uint64_t offset);

// The footprint of the update `procedure` would run with `image` (the bytes of the file at
// `imagePath`), with the ticks and settings the window holds now.
UpdateFootprint PlanUpdateFootprint(UpdateProcedure procedure, ToolWindow& window,
                                    const std::string& imagePath,
                                    const std::vector<std::uint8_t>& image);

}  // namespace q71x
