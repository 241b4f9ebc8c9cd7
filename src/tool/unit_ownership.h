// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One owner per bridge: the locks a program takes on the units it drives, and the look it takes
// at other programs' locks before it sends a bridge anything. A unit is locked by its strongest
// facet, and by its device path too, so that a unit that comes back with other facets after an
// erase (a lost serial) still finds its path taken. The folder is UnitLockFolder(); without one
// nothing is locked.

#include <map>
#include <optional>
#include <string>

#include "src/device/unit_identity.h"
#include "src/host/unit_lock.h"

namespace q71x {

class UnitOwnership {
 public:
  // Takes every lock of the device at `path` that this object does not hold yet; `unit` is what
  // the chip check found of it. Nullopt when they are all held now; else the process that owns
  // the unit (0: it did not say) and nothing more is held for it.
  std::optional<long> Claim(const std::string& path, const UnitIdentity& unit);
  // Another program's claim on the device at `path`, from what the system tells of it alone
  // (nothing is sent): the owner's process id (0: it did not say), or nullopt.
  std::optional<long> OwnerElsewhere(const std::string& path) const;
  bool Owns(const std::string& path) const;
  bool HoldsAny() const { return !held_.empty(); }
  void ReleaseAll() { held_.clear(); }

 private:
  std::map<std::string, AdvisoryLock> held_;  // by key
};

// The status text for a device another program owns.
std::string InUseText(long pid);

}  // namespace q71x
