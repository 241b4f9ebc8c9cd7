// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The device the operator chose, remembered as the enclosure it is rather than a place in the
// list: a path is handed to another enclosure after a re-plug, and the list order changes with
// every arrival, so the selection follows the unit where the system names it, and the path only
// where it does not.

#include <string>
#include <vector>

namespace q71x {

struct UnitKey {
  std::string StrongId;  // UnitId of a unit that holds a strong facet; empty when it holds none
  std::string Path;
};

// What the system tells of the device behind `devicePath`; the device is asked nothing.
UnitKey UnitKeyOf(const std::string& devicePath);

// Where the unit `chosen` names is in `listed`, or -1 when it is not there. A unit known by a
// strong facet is found by it alone, wherever it is plugged in now; a unit without one by its path.
int FindUnit(const UnitKey& chosen, const std::vector<UnitKey>& listed);

}  // namespace q71x
