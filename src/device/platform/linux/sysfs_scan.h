// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Reads the kernel's view of attached SCSI devices and mounted volumes from sysfs and
// /proc/self/mountinfo. Every function takes the file-system root so tests can point it at a
// fixture tree.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace q71x::linux_platform {

// A sysfs attribute's first line without surrounding blanks (a serial some bridges pad with
// spaces names the same unit as without them); empty when the file cannot be read.
std::string ReadAttribute(const std::filesystem::path& file);

enum class ScsiBus { Usb, Sbp2 };

// One SCSI disk or CD-ROM that sits behind a USB mass-storage or FireWire SBP-2 interface.
struct ScsiCandidate {
  std::string ScsiAddress;  // H:C:T:L
  int PeripheralType = 0;   // 0 disk, 5 CD-ROM, 7 optical, 0x0e reduced block
  ScsiBus Bus = ScsiBus::Usb;
  std::string SgName;               // sgN, the node commands are sent to
  std::string BlockName;            // sdX or srN; empty when the device has no block node
  std::filesystem::path DeviceDir;  // resolved sysfs directory of the SCSI device
};

struct BlockNumber {
  std::uint32_t Major = 0;
  std::uint32_t Minor = 0;
  bool operator==(const BlockNumber&) const = default;
};

struct MountEntry {
  BlockNumber Number;
  std::string MountPoint;
  std::string FsType;
};

// SCSI devices of types 0, 5, 7 and 0x0e with an sg node whose ancestors include a USB
// interface bound to usb-storage or uas, or a FireWire unit (ieee1394_id, or a driver named
// firewire_sbp2 or sbp2). Ordered by SCSI address.
std::vector<ScsiCandidate> ScanScsiCandidates(const std::filesystem::path& root);

// "usbstor:disk:/dev/sg2", "sbp2:cdrom:/dev/sg3": contains "usbsto" or "sbp2" as discovery
// expects, and names the node the backend opens (after the last ':').
std::string CandidatePath(const ScsiCandidate& candidate);
bool IsCdromType(int peripheralType);
// The /dev path at the end of one of our paths; empty when the path is not ours.
std::string DeviceNodeOfPath(const std::string& path);

// "8:16" from <root>/sys/class/<cls>/<name>/dev.
std::optional<BlockNumber> ReadDevNumber(const std::filesystem::path& root, const std::string& cls,
                                         const std::string& name);
// The whole disk a block device belongs to (itself when it is not a partition).
std::optional<BlockNumber> WholeDiskOf(const std::filesystem::path& root, BlockNumber number);
// Kernel name of a block device ("sdb1").
std::string BlockNameOf(const std::filesystem::path& root, BlockNumber number);

std::vector<MountEntry> ParseMountInfo(const std::string& text);
bool IsNetworkFsType(const std::string& fsType);

// The largest transfer the kernel lets one command of this sg node carry, in bytes; nullopt
// when sysfs does not say.
std::optional<std::uint32_t> MaxTransferBytes(const std::filesystem::path& root,
                                              const std::string& sgName);
// Asks usb-storage to allow `bytes` per command (device/max_sectors). False when not permitted.
bool RaiseMaxTransfer(const std::filesystem::path& root, const std::string& sgName,
                      std::uint32_t bytes);

}  // namespace q71x::linux_platform
