// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/null_device_platform.h"

namespace q71x::bench {

DeviceHandle NullDevicePlatform::OpenDevice(const std::string& path, AccessMode mode) {
  (void)path;
  (void)mode;
  return nextHandle_++;
}

bool NullDevicePlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  (void)handle;
  (void)record;
  ++requests_;
  return true;
}

bool NullDevicePlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  (void)handle;
  out = StorageDeviceNumber{};
  return true;
}

void NullDevicePlatform::CloseDevice(DeviceHandle handle) {
  (void)handle;
}

bool NullDevicePlatform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  (void)cls;
  paths.clear();
  return true;
}

}  // namespace q71x::bench
