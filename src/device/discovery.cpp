// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/discovery.h"

#include "src/device/platform/platform.h"
#include "src/device/transport.h"

namespace q71x {
namespace {

bool PathQualifies(const std::string& path, int allow1394) {
  if (path.find("usbsto") != std::string::npos) {
    return true;
  }
  return allow1394 != 0 && IsPathOn1394(path);
}

// A path that does not fit a slot is left out rather than cut: a cut path would address some
// other device, or none.
bool PathFitsSlot(const std::string& path) {
  return path.size() <= kMaxDevicePathChars;
}

int EnumerateClass(InterfaceClass cls, DevicePathSlots& slots, int firstSlot, int allow1394,
                   const std::function<bool(const std::string&)>& inUse) {
  std::vector<std::string> paths;
  if (!ActivePlatform().EnumerateInterfaces(cls, paths)) {
    return 0;
  }
  slots.resize(static_cast<std::size_t>(firstSlot < 0 ? 0 : firstSlot));
  int stored = 0;
  for (const std::string& path : paths) {
    if (slots.size() >= static_cast<std::size_t>(kMaxDevices)) {
      break;  // the seventeenth device and later are dropped
    }
    if (!PathQualifies(path, allow1394) || !PathFitsSlot(path)) {
      continue;
    }
    if (cls == InterfaceClass::Disk && !(inUse && inUse(path))) {
      // Keeps ordinary USB disks that do not answer the vendor probe out of the list.
      std::uint8_t chipId[2];
      if (ReadChipIdDF(path, chipId) == 0) {
        continue;
      }
    }
    slots.push_back(path);
    ++stored;
  }
  return stored;
}

}  // namespace

bool IsPathOn1394(const std::string& devicePath) {
  return devicePath.find("sbp2") != std::string::npos;
}

int EnumerateDiskInterfaces(DevicePathSlots& slots, int allow1394,
                            const std::function<bool(const std::string&)>& inUse) {
  return EnumerateClass(InterfaceClass::Disk, slots, 0, allow1394, inUse);
}

int EnumerateCdromInterfaces(DevicePathSlots& slots, int firstSlot, int allow1394) {
  return EnumerateClass(InterfaceClass::Cdrom, slots, firstSlot, allow1394, {});
}

void FindVolumeLetters(const std::string& devicePath, std::string& letters) {
  letters.clear();
  StorageDeviceNumber device;
  if (GetDeviceNumber(devicePath, device) == 0) {
    return;
  }
  for (const VolumeInfo& volume : ActivePlatform().ListVolumes()) {
    if (volume.IsSystem || volume.IsRemote) {
      continue;
    }
    StorageDeviceNumber number;
    if (GetDeviceNumber(volume.QueryPath, number) == 0) {
      continue;
    }
    if (number.DeviceType != device.DeviceType || number.DeviceNumber != device.DeviceNumber) {
      continue;
    }
    // Drive letters stand side by side ("EF"); longer volume names (Linux partitions) need a
    // blank between them to stay readable.
    const std::string separator = !letters.empty() && volume.Name.size() > 1 ? " " : "";
    if (letters.size() + separator.size() + volume.Name.size() > kMaxDriveLetterChars) {
      break;  // the field holds 14 characters; later volumes are dropped
    }
    letters += separator + volume.Name;
  }
}

int ReadChipIdDF(const std::string& devicePath, std::uint8_t reply[2]) {
  CommandBlock cdb;
  cdb[0] = 0xDF;
  cdb[1] = 0x10;
  cdb[4] = 0x02;
  cdb[11] = 0xFF;
  return PassThroughIn(devicePath, cdb, reply, 2);
}

int Inquiry(const std::string& devicePath, std::uint8_t* reply, std::uint32_t allocationLength) {
  CommandBlock cdb;
  cdb[0] = 0x12;
  cdb[4] = static_cast<std::uint8_t>(allocationLength);
  // The allocation length is an upper bound: a device may answer with fewer bytes, and those
  // it did not send read as 0.
  std::uint32_t transferred = 0;
  return PassThroughInUpTo(devicePath, cdb, reply, allocationLength, &transferred);
}

namespace {

int SendBridgeSession(const std::string& devicePath, std::uint8_t action) {
  CommandBlock cdb;
  cdb[0] = 0xFF;
  cdb[1] = 0x04;
  cdb[2] = 0x51;
  cdb[3] = 0x56;
  cdb[4] = action;
  return PassThroughOut(devicePath, cdb, nullptr, 0);
}

}  // namespace

int BridgeSessionOpen(const std::string& devicePath) {
  return SendBridgeSession(devicePath, 0x55);
}

int BridgeSessionClose(const std::string& devicePath) {
  return SendBridgeSession(devicePath, 0xAA);
}

}  // namespace q71x
