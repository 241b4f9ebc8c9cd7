// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/unit_ownership.h"

#include <algorithm>
#include <vector>

#include "src/device/platform/platform.h"

namespace q71x {
namespace {

std::string PathKey(const std::string& path) {
  return "path:" + path;
}

// The unit id without its chip part: the chip is known only after the chip check, the strong
// facet often before it, and both must name the same lock.
std::optional<std::string> UnitKey(const UnitIdentity& unit) {
  if (!unit.HasStrongFacet()) {
    return std::nullopt;
  }
  const std::string id = UnitId(unit);
  return "unit:" + id.substr(0, id.find('/'));
}

UnitIdentity SystemIdentityOf(const std::string& path) {
  const SystemUnitFacets facets = ActivePlatform().UnitFacetsOf(path);
  UnitIdentity unit;
  unit.UsbSerial = IsPlaceholderSerial(facets.UsbSerial) ? std::string() : facets.UsbSerial;
  unit.Guid1394 = facets.Guid1394;
  unit.PortPath = facets.PortPath;
  return unit;
}

std::vector<std::string> KeysOf(const std::string& path, const UnitIdentity& unit) {
  std::vector<std::string> keys{PathKey(path)};
  for (const UnitIdentity& known : {unit, SystemIdentityOf(path)}) {
    if (const std::optional<std::string> key = UnitKey(known)) {
      if (std::find(keys.begin(), keys.end(), *key) == keys.end()) {
        keys.push_back(*key);
      }
    }
  }
  return keys;
}

}  // namespace

std::optional<long> UnitOwnership::Claim(const std::string& path, const UnitIdentity& unit) {
  const std::filesystem::path& folder = UnitLockFolder();
  if (folder.empty()) {
    return std::nullopt;
  }
  std::vector<std::string> taken;
  for (const std::string& key : KeysOf(path, unit)) {
    if (held_.count(key) != 0) {
      continue;
    }
    LockAttempt attempt = TryLock(folder, key);
    if (!attempt.Taken()) {
      // A lock that cannot even be tried (a folder of someone else) must not leave the unit
      // unguarded: the run is refused as if it were owned.
      for (const std::string& undo : taken) {
        held_.erase(undo);
      }
      return attempt.HolderPid;
    }
    held_.emplace(key, std::move(attempt.Lock));
    taken.push_back(key);
  }
  return std::nullopt;
}

std::optional<long> UnitOwnership::OwnerElsewhere(const std::string& path) const {
  const std::filesystem::path& folder = UnitLockFolder();
  if (folder.empty()) {
    return std::nullopt;
  }
  for (const std::string& key : KeysOf(path, UnitIdentity{})) {
    if (held_.count(key) != 0) {
      continue;
    }
    if (const std::optional<long> holder = LockHolder(folder, key)) {
      return holder;
    }
  }
  return std::nullopt;
}

bool UnitOwnership::Owns(const std::string& path) const {
  return held_.count(PathKey(path)) != 0;
}

std::string InUseText(long pid) {
  return pid > 0 ? "In use by process " + std::to_string(pid) +
                       ": another program owns this bridge until its run ends."
                 : "In use by another program until its run ends.";
}

}  // namespace q71x
