// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/device_choice.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "src/device/unit_identity.h"
#include "src/tool/journal_device.h"

namespace q71x::cli {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

DeviceChoice Refused(const std::string& message) {
  return DeviceChoice{-1, ExitCode::NoSuchDevice, message};
}

DeviceChoice Found(int index) {
  DeviceChoice choice;
  choice.Index = index;
  return choice;
}

std::string IndexList(const std::vector<int>& indexes) {
  std::string text;
  for (const int index : indexes) {
    text += (text.empty() ? "" : ", ") + std::to_string(index);
  }
  return text;
}

bool LooksLikeUnitId(const std::string& name) {
  for (const char* prefix : {"usb-", "1394-", "disk-", "port-"}) {
    if (name.starts_with(prefix)) {
      return true;
    }
  }
  return false;
}

// The devices whose id is `name`. What the system tells of a device (its serial, GUID or port)
// gives the id's head without a command; only the devices whose head agrees are checked for
// the chip part. A disk serial is known only after the check, so "disk-" names check them all.
std::vector<int> DevicesWithId(HeadlessSession& session, const std::string& name) {
  const std::string head = name.substr(0, name.find('/'));
  std::vector<int> found;
  for (int i = 0; i < session.DeviceCount(); ++i) {
    const std::string path = session.PathOf(i);
    if (!name.starts_with("disk-") && UnitId(IdentifyUnit(ChipState{}, {}, path)) != head) {
      continue;
    }
    if (UnitId(session.Select(i).Unit) == name) {
      found.push_back(i);
    }
  }
  return found;
}

}  // namespace

DeviceChoice ChooseDevice(HeadlessSession& session, const std::string& name) {
  const int count = session.DeviceCount();
  if (count == 0) {
    return Refused("no device found");
  }
  if (!name.empty() && name.size() <= 3 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    const int index = std::stoi(name);
    if (index >= count) {
      return Refused("no device " + name + " (" + std::to_string(count) + " listed)");
    }
    return Found(index);
  }
  // Paths are listed lower-cased.
  const std::string wanted = Lower(name);
  for (int i = 0; i < count; ++i) {
    if (session.PathOf(i) == wanted) {
      return Found(i);
    }
  }
  if (LooksLikeUnitId(name)) {
    const std::vector<int> byId = DevicesWithId(session, name);
    if (byId.size() == 1) {
      return Found(byId.front());
    }
    if (byId.empty()) {
      return Refused("no device has the id " + name);
    }
    // Two enclosures that give one serial (a configuration area copied from one to the other):
    // the id cannot tell them apart.
    return Refused("the id " + name + " is given by " + std::to_string(byId.size()) + " devices (" +
                   IndexList(byId) + "); name one by index or path");
  }
  // A chip name is known only once the chip check has run on each device.
  std::vector<int> byChip;
  for (int i = 0; i < count; ++i) {
    const DeviceFacts facts = session.Select(i);
    if (!facts.Chip.empty() && Lower(facts.Chip) == wanted) {
      byChip.push_back(i);
    }
  }
  if (byChip.size() == 1) {
    return Found(byChip.front());
  }
  if (byChip.empty()) {
    return Refused("no device named \"" + name + "\"");
  }
  return Refused("\"" + name + "\" names " + std::to_string(byChip.size()) + " devices (" +
                 IndexList(byChip) + "); name one by index, path or id");
}

}  // namespace q71x::cli
