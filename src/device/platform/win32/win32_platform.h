// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The Windows backend: CreateFileA and DeviceIoControl with the direct SCSI pass-through and the
// storage device-number query, SetupDi enumeration of the disk and CD-ROM interface classes,
// drive letters from GetLogicalDrives.

#include <cstddef>
#include <map>

#include "src/device/platform/platform.h"

namespace q71x::win32_platform {

// Sizes the platform's own structures have on this build target (44/56, 5/8, 28/32 on 32-bit
// and 64-bit builds); the unit test checks them.
struct StructureSizes {
  std::size_t PassThroughDirect;
  std::size_t InterfaceDetailHeader;
  std::size_t InterfaceData;
};
StructureSizes PlatformStructureSizes();

class Win32Platform final : public Platform {
 public:
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
  SystemUnitFacets UnitFacetsOf(const std::string& devicePath) override;
  // The adapter's MaximumTransferLength and physical-page count, opened query-only.
  std::uint32_t MaxTransferBytes(const std::string& devicePath) override;

 private:
  std::uint32_t lastError_ = 0;
};

}  // namespace q71x::win32_platform
