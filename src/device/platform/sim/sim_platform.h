// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The Platform backend over a simulated machine: every device path is routed to a simulated
// enclosure in-process, sleeps advance the virtual clock, and debugger output is kept for tests.
// The only place that sees both the product's Platform interface and the simulator.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/simulated_system.h"
#include "src/device/platform/platform.h"
#include "src/device/platform/sim/wall_clock_pacing.h"

namespace q71x {

class SimPlatform final : public Platform {
 public:
  explicit SimPlatform(sim::SimulatedSystem& system);
  ~SimPlatform() override;
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  sim::SimulatedSystem& System() { return system_; }
  const std::vector<std::string>& DebugLines() const { return debugLines_; }
  const std::vector<std::uint32_t>& Sleeps() const { return sleeps_; }
  // The simulator executable runs for hours: it keeps no record of sleeps or debugger lines.
  void SetKeepHistory(bool keep) { keepHistory_ = keep; }
  std::size_t OpenHandleCount() const { return open_.size(); }
  // Every sleep and command then waits for wall time to catch up with the virtual clock;
  // nullptr: as fast as possible. The pacing must outlive this platform or be taken back.
  void SetPacing(WallClockPacing* pacing);

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool IsAccessDenied(std::uint32_t errorCode) const override {
    return errorCode == sim::kErrorAccessDenied;
  }
  bool IsBusy(std::uint32_t errorCode) const override {
    return errorCode == sim::kErrorSharingViolation;
  }
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return lastError_; }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override;
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override;
  std::vector<VolumeInfo> ListVolumes() override;
  SystemUnitFacets UnitFacetsOf(const std::string& devicePath) override;
  // The enclosure's limit, unless the platform is told to keep it to itself (a system that
  // refuses large requests without saying where its limit lies).
  std::uint32_t MaxTransferBytes(const std::string& devicePath) override;
  void SetReportsTransferLimit(bool reports) { reportsTransferLimit_ = reports; }
  void SleepMs(std::uint32_t ms) override;
  std::uint64_t MonotonicMs() override { return system_.Clock().NowMs(); }
  void DebugOutput(const std::string& text) override {
    if (keepHistory_) {
      debugLines_.push_back(text);
    }
  }
  void SetDeviceChangeListener(DeviceChangeListener listener) override;

 private:
  void FollowPace();

  struct OpenObject {
    std::string Path;
    AccessMode Mode;
    bool IsVolume;
  };

  sim::SimulatedSystem& system_;
  std::map<DeviceHandle, OpenObject> open_;
  DeviceHandle nextHandle_ = 1;
  std::uint32_t lastError_ = 0;
  std::vector<std::string> debugLines_;
  std::vector<std::uint32_t> sleeps_;
  bool keepHistory_ = true;
  bool reportsTransferLimit_ = true;
  WallClockPacing* pacing_ = nullptr;
};

}  // namespace q71x
