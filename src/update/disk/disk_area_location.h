// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Finding the disk-kept firmware area before anything touches it. Every answer the position is
// worked out from (capacity, configuration block, the drive's own count, the firmware
// signature, the area's descriptor) is read twice and taken only when both reads succeed and
// agree: a failed or garbled answer would otherwise move the area onto other sectors, and the
// writes that follow would overwrite whatever lies there. The one refusal taken as an answer is a
// large drive's own, twice over, that the area record lies past its end (the area then takes its
// default place).

#include <string>
#include <string_view>

#include "src/catalog/chip_type_table.h"
#include "src/update/disk/disk_firmware_layout.h"

namespace q71x {

// Empty text and `facts` filled when the position is known; else the refusal to report, and
// nothing further may be sent to the disk.
std::string_view LocateDiskArea(const std::string& devicePath, ChipType chipType,
                                DiskAreaFacts& facts);

}  // namespace q71x
