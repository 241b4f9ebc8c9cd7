// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/unit_key.h"

#include "src/device/unit_identity.h"
#include "src/tool/journal_device.h"

namespace q71x {

UnitKey UnitKeyOf(const std::string& devicePath) {
  // No chip facets: the list is keyed before any device is checked, and a chip check of one
  // device must not change how it compares with the others.
  const UnitIdentity unit = IdentifyUnit(ChipState{}, {}, devicePath);
  return UnitKey{unit.HasStrongFacet() ? UnitId(unit) : std::string(), devicePath};
}

int FindUnit(const UnitKey& chosen, const std::vector<UnitKey>& listed) {
  std::vector<int> same;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const bool match = chosen.StrongId.empty() ? listed[i].Path == chosen.Path
                                               : listed[i].StrongId == chosen.StrongId;
    if (match) {
      same.push_back(static_cast<int>(i));
    }
  }
  if (same.size() == 1) {
    return same.front();
  }
  // Enclosures that give one serial (some makers give every unit the same) are told apart by
  // where they are plugged in, or not at all.
  for (const int i : same) {
    if (listed[static_cast<std::size_t>(i)].Path == chosen.Path) {
      return i;
    }
  }
  return -1;
}

}  // namespace q71x
