// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The kernel's own device events (netlink, uevent group 1): what a system without udevd has.
// A message is "ACTION@DEVPATH" followed by KEY=VALUE strings, each ended by a zero byte.

#include <optional>
#include <span>
#include <string>

namespace q71x::guest {

struct KernelUevent {
  std::string Action;
  std::string DevPath;
  std::string Subsystem;
};

// Nullopt for anything that is not a kernel message (udevd's "libudev" messages included).
std::optional<KernelUevent> ParseKernelUevent(std::span<const char> message);

// A non-blocking socket on the kernel's uevent group; -1 when it cannot be had.
int OpenKernelUeventSocket();

}  // namespace q71x::guest
