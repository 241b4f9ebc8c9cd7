// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/linux/linux_platform.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "src/device/platform/linux/sysfs_unit.h"
#include "src/device/platform/linux/udev_monitor.h"

namespace q71x::linux_platform {
namespace fs = std::filesystem;
namespace {

// What the operator can do about a node this user may not open. The shipped udev rule gives
// access to the user logged in at the computer itself, not to remote logins or other accounts.
constexpr const char* kAccessFix =
    "Log in at this computer's own screen and keyboard and start the tool there (the udev rule "
    "installed with it, 60-q71xfwtool.rules, gives that user access), then plug the enclosure in "
    "again. Over a remote login, run the tool as root, or have the administrator set up the group "
    "rule described in that file.";

std::string ReadWholeFile(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<BlockNumber> ParseBlockDevicePath(const std::string& path) {
  const std::string prefix = kBlockDevicePrefix;
  if (path.rfind(prefix, 0) != 0) {
    return std::nullopt;
  }
  unsigned major = 0;
  unsigned minor = 0;
  if (std::sscanf(path.c_str() + prefix.size(), "%u:%u", &major, &minor) != 2) {
    return std::nullopt;
  }
  return BlockNumber{major, minor};
}

std::string SgNameOfNode(const std::string& node) {
  return fs::path(node).filename().string();
}

}  // namespace

LinuxPlatform::LinuxPlatform(LinuxPlatformOptions options) : options_(std::move(options)) {
  if (options_.WatchHotplug) {
    monitor_ = UdevMonitor::Create();
  }
}

LinuxPlatform::~LinuxPlatform() {
  for (auto& [handle, state] : open_) {
    if (state.Fd >= 0) {
      ::close(state.Fd);
    }
  }
}

std::optional<BlockNumber> LinuxPlatform::DeviceNumberOfPath(const std::string& path) {
  if (auto number = ParseBlockDevicePath(path)) {
    return WholeDiskOf(options_.Root, *number);
  }
  const std::string node = DeviceNodeOfPath(path);
  if (node.empty()) {
    return std::nullopt;
  }
  const std::string sg = SgNameOfNode(node);
  const fs::path deviceDir = options_.Root / "sys/class/scsi_generic" / sg / "device";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(deviceDir / "block", ec)) {
    if (auto number = ReadDevNumber(options_.Root, "block", entry.path().filename().string())) {
      return WholeDiskOf(options_.Root, *number);
    }
  }
  // No block node (an unclaimed CD-ROM, say): the sg node's own number still identifies it.
  return ReadDevNumber(options_.Root, "scsi_generic", sg);
}

SystemUnitFacets LinuxPlatform::UnitFacetsOf(const std::string& devicePath) {
  const std::string node = DeviceNodeOfPath(devicePath);
  if (node.empty()) {
    return {};
  }
  std::error_code ec;
  const fs::path deviceDir =
      fs::canonical(options_.Root / "sys/class/scsi_generic" / SgNameOfNode(node) / "device", ec);
  return ec ? SystemUnitFacets{} : UnitFacetsOfScsiDevice(options_.Root, deviceDir);
}

DeviceHandle LinuxPlatform::OpenDevice(const std::string& path, AccessMode mode) {
  if (mode == AccessMode::QueryOnly) {
    if (!DeviceNumberOfPath(path)) {
      lastError_ = ENOENT;
      return kInvalidDeviceHandle;
    }
    const DeviceHandle handle = nextHandle_++;
    open_[handle] = OpenDeviceState{path, -1};
    lastError_ = 0;
    return handle;
  }
  const std::string node = DeviceNodeOfPath(path);
  if (node.empty()) {
    lastError_ = ENOENT;
    return kInvalidDeviceHandle;
  }
  const fs::path file = options_.Root / fs::path(node).relative_path();
  // A data-out command wants the device to itself; busy fails at once instead of waiting.
  const int flags =
      mode == AccessMode::ExclusiveReadWrite ? (O_RDWR | O_EXCL | O_NONBLOCK) : O_RDWR;
  const int fd = ::open(file.c_str(), flags | O_CLOEXEC);
  if (fd < 0) {
    lastError_ = static_cast<std::uint32_t>(errno);
    if (errno == EACCES || errno == EPERM) {
      accessNotice_ = "No permission to open " + node + ". " + kAccessFix;
    }
    return kInvalidDeviceHandle;
  }
  const DeviceHandle handle = nextHandle_++;
  open_[handle] = OpenDeviceState{path, fd};
  lastError_ = 0;
  return handle;
}

bool LinuxPlatform::IsAccessDenied(std::uint32_t errorCode) const {
  return errorCode == EACCES || errorCode == EPERM;
}

bool LinuxPlatform::IsBusy(std::uint32_t errorCode) const {
  return errorCode == EBUSY;
}

bool LinuxPlatform::EnsureTransferFits(const std::string& sgName, std::uint32_t bytes) {
  const auto limit = linux_platform::MaxTransferBytes(options_.Root, sgName);
  if (!limit || *limit >= bytes) {
    return true;
  }
  if (RaiseMaxTransfer(options_.Root, sgName, bytes)) {
    return true;
  }
  DebugOutput("A command of " + std::to_string(bytes) +
              " bytes is larger than the kernel allows "
              "for /dev/" +
              sgName + " (" + std::to_string(*limit) +
              " bytes), and the limit could not be raised; run the tool as root so it can set "
              "the device's max_sectors.\n");
  return false;
}

std::uint32_t LinuxPlatform::MaxTransferBytes(const std::string& devicePath) {
  const std::string node = DeviceNodeOfPath(devicePath);
  if (node.empty()) {
    return 0;
  }
  if (const auto limit = linux_platform::MaxTransferBytes(options_.Root, SgNameOfNode(node))) {
    return *limit;
  }
  // sysfs has no queue for it (no block node bound): the driver's reserved buffer is capped at
  // the queue's limit, so what it gives is a size the system surely carries, if a small one.
  const fs::path file = options_.Root / fs::path(node).relative_path();
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return 0;
  }
  int reserved = 0;
  const int rc = options_.ReservedSizeIoctl(fd, &reserved);
  ::close(fd);
  return rc == 0 && reserved > 0 ? static_cast<std::uint32_t>(reserved) : 0;
}

bool LinuxPlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  auto it = open_.find(handle);
  if (it == open_.end() || it->second.Fd < 0) {
    lastError_ = EBADF;
    return false;
  }
  const std::string sg = SgNameOfNode(DeviceNodeOfPath(it->second.Path));
  if (!EnsureTransferFits(sg, record.DataTransferLength)) {
    lastError_ = E2BIG;
    record.DataTransferLength = 0;
    return false;
  }
  const SgOutcome outcome = ExecuteSgIo(it->second.Fd, record, options_.Ioctl);
  lastError_ = outcome.ErrorCode;
  return outcome.Ok;
}

bool LinuxPlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  auto it = open_.find(handle);
  if (it == open_.end()) {
    lastError_ = EBADF;
    return false;
  }
  const auto number = DeviceNumberOfPath(it->second.Path);
  if (!number) {
    lastError_ = ENODEV;
    return false;
  }
  out.DeviceType = number->Major;
  out.DeviceNumber = number->Minor;
  out.PartitionNumber = 0;
  lastError_ = 0;
  return true;
}

void LinuxPlatform::CloseDevice(DeviceHandle handle) {
  auto it = open_.find(handle);
  if (it == open_.end()) {
    return;
  }
  if (it->second.Fd >= 0) {
    ::close(it->second.Fd);
  }
  open_.erase(it);
}

bool LinuxPlatform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  paths.clear();
  if (cls == InterfaceClass::Disk) {
    accessNotice_.clear();  // a new refresh starts with the disk class
  }
  std::error_code ec;
  if (!fs::exists(options_.Root / "sys/class/scsi_device", ec)) {
    return false;
  }
  for (const ScsiCandidate& candidate : ScanScsiCandidates(options_.Root)) {
    const bool isCdrom = IsCdromType(candidate.PeripheralType);
    if (isCdrom != (cls == InterfaceClass::Cdrom)) {
      continue;
    }
    const fs::path node = options_.Root / "dev" / candidate.SgName;
    if (::access(node.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM)) {
      accessNotice_ = "A " + std::string(candidate.Bus == ScsiBus::Usb ? "USB" : "1394") +
                      " storage device was found at /dev/" + candidate.SgName +
                      ", but this user may not open it. " + kAccessFix;
    }
    paths.push_back(CandidatePath(candidate));
  }
  return true;
}

std::vector<VolumeInfo> LinuxPlatform::ListVolumes() {
  std::vector<VolumeInfo> volumes;
  std::set<std::string> seen;
  const auto mounts = ParseMountInfo(ReadWholeFile(options_.Root / "proc/self/mountinfo"));
  for (const MountEntry& mount : mounts) {
    if (mount.Number.Major == 0) {
      continue;  // not backed by a block device
    }
    const std::string name = BlockNameOf(options_.Root, mount.Number);
    if (name.empty() || !seen.insert(name).second) {
      continue;
    }
    VolumeInfo volume;
    volume.Name = name;
    volume.QueryPath = kBlockDevicePrefix + std::to_string(mount.Number.Major) + ":" +
                       std::to_string(mount.Number.Minor);
    volume.IsSystem = mount.MountPoint == "/";
    volume.IsRemote = IsNetworkFsType(mount.FsType);
    volumes.push_back(std::move(volume));
  }
  std::sort(volumes.begin(), volumes.end(),
            [](const VolumeInfo& a, const VolumeInfo& b) { return a.Name < b.Name; });
  return volumes;
}

void LinuxPlatform::SleepMs(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint64_t LinuxPlatform::MonotonicMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void LinuxPlatform::DebugOutput(const std::string& text) {
  std::fputs(text.c_str(), stderr);
}

void LinuxPlatform::SetDeviceChangeListener(DeviceChangeListener listener) {
  listener_ = std::move(listener);
}

int LinuxPlatform::DeviceChangeFd() {
  return monitor_ ? monitor_->Fd() : -1;
}

void LinuxPlatform::ProcessDeviceChangeEvents() {
  if (monitor_) {
    monitor_->Drain(listener_);
  }
}

}  // namespace q71x::linux_platform
