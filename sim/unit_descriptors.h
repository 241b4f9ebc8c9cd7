// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the host's USB or 1394 stack learns of an enclosure without sending the bridge a command:
// the serial number in its USB descriptors, the port it is plugged into, the 1394 unit's GUID.
//
// A bridge's ROM builds its descriptors at power-on from the configuration area in its flash.
// When that area is blank (erased and not written back) the ROM falls back to its default
// descriptors, whose serial is the same on every unit of the chip: the host then sees
// kDefaultUsbSerial until a power-on finds the area written again. This is modelled for the
// bridges whose enclosure says where the area lies (the serial-flash and DF presets); the
// parallel-flash and disk-kept presets have no configuration area in the simulator, and the 1394
// GUID is taken as fixed in the bridge's ROM.

#include <string>
#include <string_view>

#include "sim/enclosure.h"

namespace q71x::sim {

// The serial of the default descriptors: twelve zeros, which carries no unit's name.
inline constexpr const char* kDefaultUsbSerial = "000000000000";

// Fills what the enclosure leaves empty: a USB serial or 1394 GUID made from its device path
// (the same path always gives the same one, two paths practically never one), and for USB the
// port "usb:1-<port>".
void CompleteUnitFacets(Enclosure& enclosure, int port);

// The enclosure of a preset named `key` takes the traits' name, serial and port where they give
// one; what they leave empty is completed when the enclosure is added.
void ApplyUnitTraits(Enclosure& enclosure, std::string_view key, const UnitTraits& unit);

// Whether the configuration area the bridge's descriptors come from is blank (all FF).
bool ConfigAreaBlank(const Enclosure& enclosure);

// The bridge powers on: its ROM reads the configuration area for its descriptors.
void PowerOnDescriptors(Enclosure& enclosure);

// The serial the host reads of the USB descriptors the bridge presents; empty on 1394.
std::string PresentedUsbSerial(const Enclosure& enclosure);

}  // namespace q71x::sim
