// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The machine as the thread of one device sees it while several devices run at once: a
// platform of that thread's own over the machine every thread shares (the system's device
// nodes, or the simulated machine with a timeline of the thread's own).

#include <functional>
#include <memory>

#include "src/device/platform/forwarding_platform.h"

namespace q71x::cli {

class DeviceThreadMachine {
 public:
  virtual ~DeviceThreadMachine() = default;
  virtual Platform& ThePlatform() = 0;
};

// Called on the device's thread, which keeps what it returns to its end.
using DeviceThreadMachineSource = std::function<std::unique_ptr<DeviceThreadMachine>()>;

// A device's thread hears no hot-plug: its run is for the one device it was given, and the
// machine has one listener, which is not for it.
class WithoutHotPlug final : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;
  void SetDeviceChangeListener(DeviceChangeListener) override {}
  int DeviceChangeFd() override { return -1; }
  void ProcessDeviceChangeEvents() override {}
};

}  // namespace q71x::cli
