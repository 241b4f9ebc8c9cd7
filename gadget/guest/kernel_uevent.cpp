// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/kernel_uevent.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace q71x::guest {
namespace {

constexpr unsigned kKernelUeventGroup = 1;

}  // namespace

std::optional<KernelUevent> ParseKernelUevent(std::span<const char> message) {
  std::size_t start = 0;
  bool first = true;
  KernelUevent event;
  while (start < message.size()) {
    std::size_t end = start;
    while (end < message.size() && message[end] != '\0') {
      ++end;
    }
    const std::string field(message.data() + start, end - start);
    if (first) {
      if (field.find('@') == std::string::npos) {
        return std::nullopt;
      }
      first = false;
    } else if (field.rfind("ACTION=", 0) == 0) {
      event.Action = field.substr(7);
    } else if (field.rfind("DEVPATH=", 0) == 0) {
      event.DevPath = field.substr(8);
    } else if (field.rfind("SUBSYSTEM=", 0) == 0) {
      event.Subsystem = field.substr(10);
    }
    start = end + 1;
  }
  if (first || event.Action.empty() || event.Subsystem.empty()) {
    return std::nullopt;
  }
  return event;
}

int OpenKernelUeventSocket() {
  const int fd =
      ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
  if (fd < 0) {
    return -1;
  }
  sockaddr_nl address;
  std::memset(&address, 0, sizeof address);
  address.nl_family = AF_NETLINK;
  address.nl_groups = kKernelUeventGroup;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace q71x::guest
