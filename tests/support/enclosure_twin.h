// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Two enclosures of one model, told apart as two real ones are: by what the host reads of them
// (a USB serial number, or the GUID on 1394) and by their own configuration areas. A twin made of
// the same preset would otherwise hold the very bytes of the first, and an area of one written
// into the other could not be seen.

#include <cstdint>
#include <string>

#include "sim/enclosure.h"

namespace q71x::testing {

// Sets the unit facet the enclosure's bus carries: the GUID on 1394, else the USB serial number.
inline void GiveUnitFacet(sim::Enclosure& enclosure, const std::string& serial) {
  (enclosure.BusKind == sim::Bus::Ieee1394 ? enclosure.Guid1394 : enclosure.UsbSerial) = serial;
}

// Turns a fresh enclosure of a preset into a second unit of its model: its path gets `suffix`, it
// gets `serial`, and the last bytes of its configuration area (at `configOffset`, `configBytes`
// long, in its serial flash) are its own.
void MakeTwin(sim::Enclosure& enclosure, const std::string& suffix, const std::string& serial,
              std::uint32_t configOffset, std::uint32_t configBytes);

}  // namespace q71x::testing
