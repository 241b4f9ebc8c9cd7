// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/linux/sysfs_scan.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>

namespace q71x::linux_platform {
namespace fs = std::filesystem;

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), blank));
  line.erase(std::find_if_not(line.rbegin(), line.rend(), blank).base(), line.end());
  return line;
}

namespace {

std::string FirstEntryName(const fs::path& dir) {
  std::error_code ec;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names.empty() ? std::string() : names.front();
}

std::string DriverName(const fs::path& dir) {
  std::error_code ec;
  const fs::path driver = fs::read_symlink(dir / "driver", ec);
  return ec ? std::string() : driver.filename().string();
}

std::optional<ScsiBus> BusOfAncestors(const fs::path& deviceDir, const fs::path& root) {
  const fs::path stop = root / "sys";
  for (fs::path dir = deviceDir; !dir.empty() && dir != stop && dir != dir.root_path();
       dir = dir.parent_path()) {
    const std::string driver = DriverName(dir);
    if (driver == "usb-storage" || driver == "uas") {
      return ScsiBus::Usb;
    }
    std::error_code ec;
    if (driver == "firewire_sbp2" || driver == "sbp2" || fs::exists(dir / "ieee1394_id", ec)) {
      return ScsiBus::Sbp2;
    }
  }
  return std::nullopt;
}

// SCSI addresses sort by their numbers, not as text ("10:0:0:0" after "2:0:0:0").
std::vector<long> AddressKey(const std::string& address) {
  std::vector<long> key;
  std::stringstream in(address);
  std::string part;
  while (std::getline(in, part, ':')) {
    key.push_back(std::strtol(part.c_str(), nullptr, 10));
  }
  return key;
}

std::optional<BlockNumber> ParseDevNumber(const std::string& text) {
  unsigned major = 0;
  unsigned minor = 0;
  char colon = 0;
  std::istringstream in(text);
  if (!(in >> major >> colon >> minor) || colon != ':') {
    return std::nullopt;
  }
  return BlockNumber{major, minor};
}

fs::path DevBlockDir(const fs::path& root, BlockNumber number) {
  return root / "sys/dev/block" /
         (std::to_string(number.Major) + ":" + std::to_string(number.Minor));
}

}  // namespace

bool IsCdromType(int peripheralType) {
  return peripheralType == 5;
}

std::vector<ScsiCandidate> ScanScsiCandidates(const fs::path& root) {
  std::vector<ScsiCandidate> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root / "sys/class/scsi_device", ec)) {
    std::error_code resolveError;
    const fs::path deviceDir = fs::canonical(entry.path() / "device", resolveError);
    if (resolveError) {
      continue;
    }
    const std::string typeText = ReadAttribute(deviceDir / "type");
    if (typeText.empty()) {
      continue;
    }
    const int type = static_cast<int>(std::strtol(typeText.c_str(), nullptr, 0));
    if (type != 0 && type != 5 && type != 7 && type != 0x0e) {
      continue;
    }
    const std::string sg = FirstEntryName(deviceDir / "scsi_generic");
    if (sg.empty()) {
      continue;
    }
    const auto bus = BusOfAncestors(deviceDir, root);
    if (!bus) {
      continue;  // a disk on any other bus is never a candidate
    }
    found.push_back(ScsiCandidate{entry.path().filename().string(), type, *bus, sg,
                                  FirstEntryName(deviceDir / "block"), deviceDir});
  }
  std::sort(found.begin(), found.end(), [](const ScsiCandidate& a, const ScsiCandidate& b) {
    return AddressKey(a.ScsiAddress) < AddressKey(b.ScsiAddress);
  });
  return found;
}

std::string CandidatePath(const ScsiCandidate& candidate) {
  const std::string bus = candidate.Bus == ScsiBus::Usb ? "usbstor" : "sbp2";
  const std::string cls = IsCdromType(candidate.PeripheralType) ? "cdrom" : "disk";
  return bus + ":" + cls + ":/dev/" + candidate.SgName;
}

std::string DeviceNodeOfPath(const std::string& path) {
  const auto colon = path.rfind(':');
  if (colon == std::string::npos || path.compare(colon + 1, 5, "/dev/") != 0) {
    return {};
  }
  return path.substr(colon + 1);
}

std::optional<BlockNumber> ReadDevNumber(const fs::path& root, const std::string& cls,
                                         const std::string& name) {
  return ParseDevNumber(ReadAttribute(root / "sys/class" / cls / name / "dev"));
}

std::optional<BlockNumber> WholeDiskOf(const fs::path& root, BlockNumber number) {
  std::error_code ec;
  const fs::path dir = fs::canonical(DevBlockDir(root, number), ec);
  if (ec) {
    return std::nullopt;
  }
  if (!fs::exists(dir / "partition", ec)) {
    return number;
  }
  return ParseDevNumber(ReadAttribute(dir.parent_path() / "dev"));
}

std::string BlockNameOf(const fs::path& root, BlockNumber number) {
  std::error_code ec;
  const fs::path dir = fs::canonical(DevBlockDir(root, number), ec);
  return ec ? std::string() : dir.filename().string();
}

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
  // id parent major:minor root mountpoint options [optional fields...] - fstype source super
  std::vector<MountEntry> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string id, parent, devText, mountRoot, mountPoint, options, field;
    if (!(fields >> id >> parent >> devText >> mountRoot >> mountPoint >> options)) {
      continue;
    }
    while (fields >> field && field != "-") {
    }
    std::string fsType;
    fields >> fsType;
    const auto number = ParseDevNumber(devText);
    if (!number || fsType.empty()) {
      continue;
    }
    mounts.push_back(MountEntry{*number, mountPoint, fsType});
  }
  return mounts;
}

bool IsNetworkFsType(const std::string& fsType) {
  static const char* const kNetwork[] = {
      "nfs", "nfs4", "cifs", "smb3",      "smbfs",          "ncpfs", "fuse.sshfs",
      "9p",  "afs",  "ceph", "glusterfs", "fuse.glusterfs", "davfs", "fuse.rclone"};
  return std::find(std::begin(kNetwork), std::end(kNetwork), fsType) != std::end(kNetwork);
}

namespace {

fs::path QueueDirOfSg(const fs::path& root, const std::string& sgName) {
  const fs::path deviceDir = root / "sys/class/scsi_generic" / sgName / "device";
  const std::string block = FirstEntryName(deviceDir / "block");
  return block.empty() ? fs::path() : deviceDir / "block" / block / "queue";
}

}  // namespace

std::optional<std::uint32_t> MaxTransferBytes(const fs::path& root, const std::string& sgName) {
  const fs::path queue = QueueDirOfSg(root, sgName);
  if (!queue.empty()) {
    if (const std::string kb = ReadAttribute(queue / "max_hw_sectors_kb"); !kb.empty()) {
      return static_cast<std::uint32_t>(std::strtoul(kb.c_str(), nullptr, 10) * 1024);
    }
  }
  // usb-storage shows the same queue limit on the SCSI device, in 512-byte sectors, also when no
  // block driver is bound to it.
  const std::string sectors =
      ReadAttribute(root / "sys/class/scsi_generic" / sgName / "device/max_sectors");
  if (sectors.empty()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::strtoul(sectors.c_str(), nullptr, 10) * 512);
}

bool RaiseMaxTransfer(const fs::path& root, const std::string& sgName, std::uint32_t bytes) {
  const fs::path attribute = root / "sys/class/scsi_generic" / sgName / "device/max_sectors";
  std::error_code ec;
  if (!fs::exists(attribute, ec)) {
    return false;
  }
  std::ofstream out(attribute);
  out << (bytes + 511) / 512;
  out.flush();
  if (!out) {
    return false;
  }
  const auto now = MaxTransferBytes(root, sgName);
  return now && *now >= bytes;
}

}  // namespace q71x::linux_platform
