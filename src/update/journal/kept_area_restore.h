// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A configuration area the serial-flash procedures keep across their erase: put back after a run
// that may have erased it or programmed something wrong over it. Without that the operator's
// retry would save whatever was left there as the device's configuration, and its identity and
// settings would be gone for good.

#include <cstddef>
#include <cstdint>
#include <string>

namespace q71x {

struct KeptArea {
  std::uint32_t Address = 0;       // where the area lives in the flash
  std::uint32_t EraseAddress = 0;  // an address inside the erase unit that holds it
  const std::uint8_t* Saved = nullptr;
  std::uint32_t Length = 0;
};

// Reads the area first (two agreeing reads) and leaves it alone when it still holds the saved
// bytes, so an area the erase never reached is not written over: a short or garbled write would
// spoil it. Otherwise programs the saved bytes, erasing the unit underneath first when what is
// there cannot be programmed into them (programming only clears bits), and tries once more when
// the read-back does not match. Best effort and silent: the caller reports the failure that stopped
// its run. 1 when the area reads back as saved at the end.
int RestoreKeptArea(const std::string& devicePath, const KeptArea& area);

// Whether the area already holds the saved bytes, by two agreeing reads; sends nothing but reads.
bool KeptAreaInPlace(const std::string& devicePath, const KeptArea& area);

// True when programming `wanted` over `current` yields `wanted`: a NOR program only clears bits,
// so no bit may have to go from 0 to 1. An area that passes needs no erase (a blank one always
// passes), and an erase would take whatever else shares its unit.
bool ProgrammableWithoutErase(const std::uint8_t* current, const std::uint8_t* wanted,
                              std::size_t length);

}  // namespace q71x
