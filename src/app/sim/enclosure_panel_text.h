// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What both enclosure panels (Qt and Win32) tell the operator above the boxes: the tool lists at
// most as many bridges as its device list holds, and a ticked enclosure past that is not lost.

namespace q71x {

inline constexpr char kEnclosurePanelHeading[] =
    "Plugged in (untick and tick to power-cycle).\nThe tool lists 16 bridges: the unticked ones "
    "wait here;\nunplug one to plug in another.";

}  // namespace q71x
