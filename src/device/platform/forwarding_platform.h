// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A backend that hands every call to another one: the base of the wrappers that watch the
// exchanges of a run (a recording, a byte count) without changing them. A wrapper overrides
// what it watches and leaves the rest to this class.

#include <string>
#include <vector>

#include "src/device/platform/platform.h"

namespace q71x {

class ForwardingPlatform : public Platform {
 public:
  // Not owned; must outlive the wrapper.
  explicit ForwardingPlatform(Platform& inner) : inner_(inner) {}

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override {
    return inner_.OpenDevice(path, mode);
  }
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override {
    return inner_.SendPassThrough(handle, record);
  }
  std::uint32_t LastErrorCode() override { return inner_.LastErrorCode(); }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override {
    return inner_.QueryDeviceNumber(handle, out);
  }
  void CloseDevice(DeviceHandle handle) override { inner_.CloseDevice(handle); }
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override {
    return inner_.EnumerateInterfaces(cls, paths);
  }
  std::vector<VolumeInfo> ListVolumes() override { return inner_.ListVolumes(); }
  void SleepMs(std::uint32_t ms) override { inner_.SleepMs(ms); }
  std::uint64_t MonotonicMs() override { return inner_.MonotonicMs(); }
  void DebugOutput(const std::string& text) override { inner_.DebugOutput(text); }
  void SetDeviceChangeListener(DeviceChangeListener listener) override {
    inner_.SetDeviceChangeListener(std::move(listener));
  }
  int DeviceChangeFd() override { return inner_.DeviceChangeFd(); }
  void ProcessDeviceChangeEvents() override { inner_.ProcessDeviceChangeEvents(); }
  SystemUnitFacets UnitFacetsOf(const std::string& devicePath) override {
    return inner_.UnitFacetsOf(devicePath);
  }
  std::uint32_t MaxTransferBytes(const std::string& devicePath) override {
    return inner_.MaxTransferBytes(devicePath);
  }
  std::string AccessNotice() override { return inner_.AccessNotice(); }
  bool IsAccessDenied(std::uint32_t errorCode) const override {
    return inner_.IsAccessDenied(errorCode);
  }
  bool IsBusy(std::uint32_t errorCode) const override { return inner_.IsBusy(errorCode); }

 protected:
  Platform& Inner() { return inner_; }

 private:
  Platform& inner_;
};

}  // namespace q71x
