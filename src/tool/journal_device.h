// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A device as the recovery journal names it, from what the chip check found: the identified chip
// and revision, the flash behind it as the check told it apart, the version field's text and the
// path.

#include <string>

#include "src/update/journal/recovery_journal.h"
#include "src/update/tool_window.h"

namespace q71x {

// The flash id is what the check learnt of the flash, in hex: the flash-vendor row, then the
// AMIC and ATMEL part classes (ff: none). The check tells flashes apart by these on every family;
// the same enclosure checked again gives the same id, also with its firmware half written.
std::string FlashIdOf(const ChipState& state);

// The unit behind `devicePath`: what the system tells of it (asking the device nothing) and the
// chip check's model facets. The attached disk's serial is left to the families that read it.
UnitIdentity IdentifyUnit(const ChipState& state, const std::string& firmwareVersion,
                          const std::string& devicePath);

JournalDevice JournalDeviceOf(const ChipState& state, const std::string& firmwareVersion,
                              const std::string& devicePath);

}  // namespace q71x
