#pragma once
// One simulated enclosure as the operating system lists it: the bus it hangs on, the interface
// class it shows up under, its device path, its storage device number, the volumes on its disk,
// whether it is plugged in, and the bridge behind it.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/bridge.h"
#include "sim/bus_timing.h"

namespace q71x::sim {

enum class InterfaceKind { Disk, Cdrom };

// Storage device types as the device-number query reports them.
inline constexpr std::uint32_t kDeviceTypeCdrom = 0x02;
inline constexpr std::uint32_t kDeviceTypeDisk = 0x07;

// What the host's system carries in one request to a USB storage device by default (Linux's
// max_hw_sectors_kb for a user who is not root).
inline constexpr std::uint32_t kDefaultMaxTransferBytes = 120 * 1024;

struct SimVolume {
  char Letter = 'E';
  bool IsSystem = false;
  bool IsRemote = false;
};

struct Enclosure {
  std::string Path;  // lower case; "usbstor" for USB, "sbp2" for 1394
  Bus BusKind = Bus::Usb;
  InterfaceKind Kind = InterfaceKind::Disk;
  std::uint32_t DeviceType = kDeviceTypeDisk;
  std::uint32_t DeviceNumber = 0;
  std::vector<SimVolume> Volumes;
  bool Plugged = true;
  // What the host's USB or 1394 stack reads of the enclosure without asking the bridge anything
  // (empty: not given). The serial is the one the bridge's descriptors carry.
  std::string UsbSerial;
  std::string PortPath;
  std::string Guid1394;
  // A request with a longer data phase fails in the system and never reaches the bridge. 0: no
  // limit.
  std::uint32_t MaxTransferBytes = kDefaultMaxTransferBytes;
  BridgeState Bridge;
};

// "sim:usbstor:disk:<name>", "sim:sbp2:cdrom:<name>" and so on, lower-cased.
std::string MakeEnclosurePath(Bus bus, InterfaceKind kind, const std::string& name);

}  // namespace q71x::sim
