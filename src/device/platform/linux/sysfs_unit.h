// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which unit a SCSI device belongs to, as sysfs tells it without a command to the device: the
// USB device above it (serial number and the port it is plugged into) or the FireWire node
// (its GUID).

#include <filesystem>

#include "src/device/platform/platform.h"

namespace q71x::linux_platform {

// Walks up from the resolved sysfs directory of a SCSI device (below `root`/sys) to the first
// USB device directory, the one with busnum and devpath: its serial (when it has one) and the
// port "usb:<busnum>-<devpath>". A FireWire node's guid, or the SCSI device's ieee1394_id, gives
// the GUID as 16 lower-case hex digits.
SystemUnitFacets UnitFacetsOfScsiDevice(const std::filesystem::path& root,
                                        const std::filesystem::path& deviceDir);

}  // namespace q71x::linux_platform
