// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/platform.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "src/host/thread_seams.h"

namespace q71x {
namespace {

// Used until a real backend is installed: no devices, real time.
class DisconnectedPlatform final : public Platform {
 public:
  DeviceHandle OpenDevice(const std::string&, AccessMode) override { return kInvalidDeviceHandle; }
  bool SendPassThrough(DeviceHandle, PassThroughRecord&) override { return false; }
  std::uint32_t LastErrorCode() override { return 2; }  // "file not found"
  bool QueryDeviceNumber(DeviceHandle, StorageDeviceNumber&) override { return false; }
  void CloseDevice(DeviceHandle) override {}
  bool EnumerateInterfaces(InterfaceClass, std::vector<std::string>& paths) override {
    paths.clear();
    return false;
  }
  std::vector<VolumeInfo> ListVolumes() override { return {}; }
  void SleepMs(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  std::uint64_t MonotonicMs() override {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
  }
  void DebugOutput(const std::string& text) override { std::fputs(text.c_str(), stderr); }
};

DisconnectedPlatform& Disconnected() {
  static DisconnectedPlatform platform;
  return platform;
}

Platform*& Active() {
  static Platform* processWide = nullptr;
  thread_local Platform* threadOwn = nullptr;
  return SeamSlot(processWide, threadOwn);
}

}  // namespace

Platform& ActivePlatform() {
  Platform* active = Active();
  return active != nullptr ? *active : Disconnected();
}

Platform* SetActivePlatform(Platform* platform) {
  return std::exchange(Active(), platform);
}

}  // namespace q71x
