// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Finding the bridge devices: the two interface-class enumerations, the drive-letter matcher,
// and the commands the device list itself sends.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace q71x {

inline constexpr int kMaxDevices = 16;
inline constexpr std::size_t kMaxDevicePathChars = 255;  // a slot holds 255 chars + terminator
inline constexpr std::size_t kMaxDriveLetterChars = 14;  // DriveLetters holds 14 + terminator

struct DeviceEntry {
  std::string DevicePath;    // lower-cased by the refresh; every command goes to it
  std::string DriveLetters;  // e.g. "EF"; at most kMaxDriveLetterChars characters
  std::int32_t IsCdromClass = 0;
};

// The enumeration output: up to kMaxDevices paths. Disk-class paths fill it from slot 0,
// CD-ROM-class paths follow.
using DevicePathSlots = std::vector<std::string>;

// Every platform names a device behind an IEEE 1394 SBP-2 bridge with "sbp2" in its path.
bool IsPathOn1394(const std::string& devicePath);

// Accepts paths with "usbsto", and with "sbp2" when allow1394 is non-zero; disk-class paths must
// also answer ReadChipIdDF. Paths are appended to `slots`; returns how many were stored. A path
// longer than kMaxDevicePathChars, or one beyond the kMaxDevices-th slot, is left out. A path
// `inUse` names (another program owns the bridge) is kept without the probe: it is sent nothing.
int EnumerateDiskInterfaces(DevicePathSlots& slots, int allow1394,
                            const std::function<bool(const std::string&)>& inUse = {});
int EnumerateCdromInterfaces(DevicePathSlots& slots, int firstSlot, int allow1394);

// Writes the names of the volumes that live on the device (system and network volumes never),
// in the platform's order, without separators. When the device's own number cannot be read the
// letters are set empty: keeping the previous device's letters would name the wrong disk.
void FindVolumeLetters(const std::string& devicePath, std::string& letters);

// Device-list commands (12-byte blocks).
int ReadChipIdDF(const std::string& devicePath, std::uint8_t reply[2]);
int Inquiry(const std::string& devicePath, std::uint8_t* reply, std::uint32_t allocationLength);
int BridgeSessionOpen(const std::string& devicePath);
int BridgeSessionClose(const std::string& devicePath);

}  // namespace q71x
