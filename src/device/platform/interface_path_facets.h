// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The unit facets a Windows device-interface path carries. The path embeds the device instance
// id of the disk or CD-ROM:
//   \\?\usbstor#disk&ven_acme&prod_box&rev_1.00#3f2a0017&0#{53f56307-b6bf-11d0-...}
//   \\?\sbp2#acme&box&lun0#0001020304050607#{53f56307-b6bf-11d0-...}
// For USB the instance is the device's serial number with the LUN after the last '&'; for a
// device without a usable serial Windows makes one up from where it is plugged in
// ("7&2a3b4c5d&0&0", its second character '&'), which names the port, not the unit. For SBP-2
// the instance holds the unit's 64-bit GUID. Kept apart from the backend so that it is tested
// on every platform.

#include <string>

#include "src/device/platform/platform.h"

namespace q71x {

SystemUnitFacets UnitFacetsOfInterfacePath(const std::string& interfacePath);

}  // namespace q71x
