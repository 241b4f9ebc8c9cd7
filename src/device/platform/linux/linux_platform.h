// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The Linux backend: commands go through SG_IO on the SCSI generic node of a bridge, devices and
// volumes come from sysfs and /proc/self/mountinfo, hot-plug from a udev monitor.

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "src/device/platform/linux/sg_io.h"
#include "src/device/platform/linux/sysfs_scan.h"
#include "src/device/platform/platform.h"

namespace q71x::linux_platform {

class UdevMonitor;

struct LinuxPlatformOptions {
  std::filesystem::path Root = "/";  // sysfs, /proc and /dev are read below it
  SgIoctl Ioctl = RealSgIoctl();
  SgReservedSizeIoctl ReservedSizeIoctl = RealSgReservedSizeIoctl();
  bool WatchHotplug = true;
};

class LinuxPlatform final : public Platform {
 public:
  explicit LinuxPlatform(LinuxPlatformOptions options = {});
  ~LinuxPlatform() override;

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool IsAccessDenied(std::uint32_t errorCode) const override;
  bool IsBusy(std::uint32_t errorCode) const override;
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return lastError_; }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override;
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override;
  std::vector<VolumeInfo> ListVolumes() override;
  void SleepMs(std::uint32_t ms) override;
  std::uint64_t MonotonicMs() override;
  void DebugOutput(const std::string& text) override;
  void SetDeviceChangeListener(DeviceChangeListener listener) override;
  int DeviceChangeFd() override;
  void ProcessDeviceChangeEvents() override;
  std::string AccessNotice() override { return accessNotice_; }
  SystemUnitFacets UnitFacetsOf(const std::string& devicePath) override;
  // The queue's hardware limit from sysfs; without one, the sg driver's reserved size.
  std::uint32_t MaxTransferBytes(const std::string& devicePath) override;

 private:
  struct OpenDeviceState {
    std::string Path;
    int Fd = -1;  // -1 for query-only handles
  };
  bool EnsureTransferFits(const std::string& sgName, std::uint32_t bytes);
  std::optional<BlockNumber> DeviceNumberOfPath(const std::string& path);

  LinuxPlatformOptions options_;
  std::map<DeviceHandle, OpenDeviceState> open_;
  DeviceHandle nextHandle_ = 1;
  std::uint32_t lastError_ = 0;
  std::string accessNotice_;
  DeviceChangeListener listener_;
  std::unique_ptr<UdevMonitor> monitor_;
};

// The prefix of the query paths ListVolumes hands out: "blockdev:8:17".
inline constexpr const char* kBlockDevicePrefix = "blockdev:";

}  // namespace q71x::linux_platform
