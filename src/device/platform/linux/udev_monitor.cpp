// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/linux/udev_monitor.h"

#include <libudev.h>
#include <unistd.h>

#include <cstring>

namespace q71x::linux_platform {

std::unique_ptr<UdevMonitor> UdevMonitor::Create() {
  udev* context = udev_new();
  if (context == nullptr) {
    return nullptr;
  }
  // Events come from udevd once it has processed them; where no udevd runs (containers, small
  // systems) only the kernel's own events arrive.
  const bool udevdRuns = ::access("/run/udev/control", F_OK) == 0;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, udevdRuns ? "udev" : "kernel");
  if (monitor == nullptr) {
    udev_unref(context);
    return nullptr;
  }
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "block", nullptr);
  udev_monitor_filter_add_match_subsystem_devtype(monitor, "scsi_generic", nullptr);
  if (udev_monitor_enable_receiving(monitor) < 0) {
    udev_monitor_unref(monitor);
    udev_unref(context);
    return nullptr;
  }
  return std::unique_ptr<UdevMonitor>(new UdevMonitor(context, monitor));
}

UdevMonitor::~UdevMonitor() {
  udev_monitor_unref(monitor_);
  udev_unref(context_);
}

int UdevMonitor::Fd() const {
  return udev_monitor_get_fd(monitor_);
}

void UdevMonitor::Drain(const Platform::DeviceChangeListener& listener) {
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    const char* action = udev_device_get_action(device);
    DeviceChange change = DeviceChange::Other;
    if (action != nullptr && std::strcmp(action, "add") == 0) {
      change = DeviceChange::Arrival;
    } else if (action != nullptr && std::strcmp(action, "remove") == 0) {
      change = DeviceChange::Removal;
    }
    udev_device_unref(device);
    if (listener) {
      listener(change);
    }
  }
}

}  // namespace q71x::linux_platform
