#pragma once
// The device part of the refresh: the bridges discovery finds, each with its list text, its
// session opened and its volumes found. The window's refresh and the in-guest test list
// devices through this one function.

#include <string>
#include <vector>

#include "src/device/discovery.h"

namespace q71x {

struct ListedBridge {
  DeviceEntry Entry;
  std::string ItemText;  // "<<USB>> " or "<<1394>> " and the INQUIRY vendor and product
  bool Is1394 = false;
};

// Disk-class bridges first, then CD-ROM-class ones; at most kMaxDevices. A device that does not
// answer INQUIRY is listed under the name of the device before it (one name area for the whole
// list). Sends BridgeSessionOpen to every device, and once more to the CD-ROM-class ones.
std::vector<ListedBridge> ListBridges();

}  // namespace q71x
