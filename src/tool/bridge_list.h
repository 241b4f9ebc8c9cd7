// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The device part of the refresh: the bridges discovery finds, each with its list text, its
// session opened and its volumes found. The window's refresh and the in-guest test list
// devices through this one function.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "src/device/discovery.h"

namespace q71x {

// Whether the list may send a bridge anything: not when another program owns it (it is listed
// as in use, by path alone), nor when the front end wants no more than one device.
struct BridgeAccess {
  bool Contact = true;
  std::optional<long> InUseBy;  // the owner's process id (0: it did not say)
};
using BridgeAccessRule = std::function<BridgeAccess(const std::string& path)>;

struct ListedBridge {
  DeviceEntry Entry;
  std::string ItemText;  // "<<USB>> " or "<<1394>> " and the INQUIRY vendor and product
  bool Is1394 = false;
  BridgeAccess Access;
};

// Disk-class bridges first, then CD-ROM-class ones; at most kMaxDevices. A device that does not
// answer INQUIRY is listed under the name of the device before it (one name area for the whole
// list). Sends BridgeSessionOpen to every device, and once more to the CD-ROM-class ones; with
// `access`, only to the bridges it lets the list contact (the others have no name in their item).
std::vector<ListedBridge> ListBridges(const BridgeAccessRule& access = {});

// The first contact with a bridge the list left alone: what the list would have sent it. Returns
// its item text.
std::string ContactBridge(const ListedBridge& bridge);

}  // namespace q71x
