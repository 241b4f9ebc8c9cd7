// SPDX-License-Identifier: GPL-2.0-or-later
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
  // What tells this unit from another of its model (sim/unit_descriptors.h); empty fields are
  // made up when the enclosure is added. UsbSerial is the serial written in the bridge's
  // configuration area, which its ROM copies into the descriptors at power-on; PortPath is
  // where it is plugged in (USB only).
  std::string UsbSerial;
  std::string PortPath;
  std::string Guid1394;
  // Where in its serial flash the bridge keeps that configuration area; 0 bytes: its
  // descriptors come from the ROM alone and never change.
  std::uint32_t ConfigOffset = 0;
  std::uint32_t ConfigBytes = 0;
  // Whether the ROM builds its default descriptors when it finds that area blank at power-on
  // (sim/unit_descriptors.h). Off unless a test asks for it: the journal and the campaign are
  // judged on enclosures whose serial outlives the area, the loss of it on those that set this.
  bool SerialLostWithConfigArea = false;
  // Whether it did so at the last power-on.
  bool DefaultDescriptors = false;
  // A request with a longer data phase fails in the system and never reaches the bridge. 0: no
  // limit.
  std::uint32_t MaxTransferBytes = kDefaultMaxTransferBytes;
  BridgeState Bridge;
};

// What a test or a preset sets to have two enclosures of one model side by side.
struct UnitTraits {
  std::string Name;       // the device path's last part; empty: the preset's key
  std::string UsbSerial;  // empty: one made from the device path
  std::string PortPath;   // empty: the next free port
};

// "sim:usbstor:disk:<name>", "sim:sbp2:cdrom:<name>" and so on, lower-cased.
std::string MakeEnclosurePath(Bus bus, InterfaceKind kind, const std::string& name);

}  // namespace q71x::sim
