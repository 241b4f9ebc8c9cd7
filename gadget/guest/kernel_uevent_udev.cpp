// SPDX-License-Identifier: GPL-2.0-or-later
// The part of libudev the Linux backend's hot-plug monitor calls, for the statically linked guest
// test only. Debian ships no static libudev, and the test machine runs no udevd, so libudev's
// "udev" event source would stay silent there anyway. This stand-in hears the kernel's own
// uevent source instead, with the same subsystem filter, so the backend's monitor code runs
// unchanged on real kernel events. The devtype argument of the filter is not needed by the
// backend (it passes none) and is not supported.

#include <libudev.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "gadget/guest/kernel_uevent.h"

struct udev {
  int References = 1;
};

struct udev_monitor {
  int References = 1;
  int Fd = -1;
  std::vector<std::string> Subsystems;
};

struct udev_device {
  int References = 1;
  std::string Action;
};

namespace {

constexpr std::size_t kUeventBufferBytes = 8192;

bool Accepts(const udev_monitor& monitor, const std::string& subsystem) {
  return monitor.Subsystems.empty() ||
         std::find(monitor.Subsystems.begin(), monitor.Subsystems.end(), subsystem) !=
             monitor.Subsystems.end();
}

}  // namespace

extern "C" {

udev* udev_new(void) {
  return new udev;
}

udev* udev_unref(udev* context) {
  if (context != nullptr && --context->References == 0) {
    delete context;
  }
  return nullptr;
}

udev_monitor* udev_monitor_new_from_netlink(udev* context, const char* name) {
  (void)name;  // "udev" or "kernel": both are the kernel's source here
  if (context == nullptr) {
    return nullptr;
  }
  const int fd = q71x::guest::OpenKernelUeventSocket();
  if (fd < 0) {
    return nullptr;
  }
  auto* monitor = new udev_monitor;
  monitor->Fd = fd;
  return monitor;
}

int udev_monitor_filter_add_match_subsystem_devtype(udev_monitor* monitor, const char* subsystem,
                                                    const char* devtype) {
  if (monitor == nullptr || subsystem == nullptr || devtype != nullptr) {
    return -EINVAL;
  }
  monitor->Subsystems.emplace_back(subsystem);
  return 0;
}

int udev_monitor_enable_receiving(udev_monitor* monitor) {
  return monitor != nullptr && monitor->Fd >= 0 ? 0 : -EINVAL;
}

udev_monitor* udev_monitor_unref(udev_monitor* monitor) {
  if (monitor != nullptr && --monitor->References == 0) {
    ::close(monitor->Fd);
    delete monitor;
  }
  return nullptr;
}

int udev_monitor_get_fd(udev_monitor* monitor) {
  return monitor != nullptr ? monitor->Fd : -EINVAL;
}

// Like libudev's: returns the next event that passes the filter, or null at once when none is
// pending.
udev_device* udev_monitor_receive_device(udev_monitor* monitor) {
  if (monitor == nullptr) {
    return nullptr;
  }
  std::vector<char> buffer(kUeventBufferBytes);
  for (;;) {
    const ssize_t got = ::recv(monitor->Fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return nullptr;
    }
    const auto event = q71x::guest::ParseKernelUevent(
        std::span<const char>(buffer.data(), static_cast<std::size_t>(got)));
    if (event && Accepts(*monitor, event->Subsystem)) {
      auto* device = new udev_device;
      device->Action = event->Action;
      return device;
    }
  }
}

const char* udev_device_get_action(udev_device* device) {
  return device != nullptr ? device->Action.c_str() : nullptr;
}

udev_device* udev_device_unref(udev_device* device) {
  if (device != nullptr && --device->References == 0) {
    delete device;
  }
  return nullptr;
}

}  // extern "C"
