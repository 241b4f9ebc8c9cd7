// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Hot-plug events from udev for block and SCSI generic devices. The USB device's own "add" comes
// before its disk exists, so only the disk-level subsystems are watched. Without a running udevd
// the kernel's own event source is used instead.

#include <memory>

#include "src/device/platform/platform.h"

struct udev;
struct udev_monitor;

namespace q71x::linux_platform {

class UdevMonitor {
 public:
  // Null when udev is not available (no hot-plug then, as on a failed registration elsewhere).
  static std::unique_ptr<UdevMonitor> Create();
  ~UdevMonitor();
  UdevMonitor(const UdevMonitor&) = delete;
  UdevMonitor& operator=(const UdevMonitor&) = delete;

  int Fd() const;
  // Reads every pending event and reports it.
  void Drain(const Platform::DeviceChangeListener& listener);

 private:
  UdevMonitor(udev* context, udev_monitor* monitor) : context_(context), monitor_(monitor) {}
  udev* context_;
  udev_monitor* monitor_;
};

}  // namespace q71x::linux_platform
