// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A platform whose every device accepts every command at once and reports all bytes moved
// without touching them: what remains of a command's cost is the host's own work (open, the two
// padded zero-filled blocks, the copies, close). Nothing sleeps.

#include <cstdint>
#include <string>
#include <vector>

#include "src/device/platform/platform.h"

namespace q71x::bench {

class NullDevicePlatform final : public Platform {
 public:
  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return 0; }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override;
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override;
  std::vector<VolumeInfo> ListVolumes() override { return {}; }
  void SleepMs(std::uint32_t ms) override { (void)ms; }
  std::uint64_t MonotonicMs() override { return 0; }
  void DebugOutput(const std::string& text) override { (void)text; }

  std::uint64_t Requests() const { return requests_; }

 private:
  DeviceHandle nextHandle_ = 1;
  std::uint64_t requests_ = 0;
};

}  // namespace q71x::bench
