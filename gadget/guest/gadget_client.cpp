// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/gadget_client.h"

#include <fstream>
#include <iterator>

#include "gadget/device/control_socket.h"

namespace q71x::guest {
namespace {

// Dumping a megabyte of flash to a RAM file is the slowest request; unbinding waits for the
// kernel to let go of the disks.
constexpr int kRequestTimeoutSeconds = 30;

}  // namespace

std::string GadgetClient::Request(const std::string& line) const {
  return gadget::SendControlRequest(socketPath_, line, kRequestTimeoutSeconds)
      .value_or("no answer from " + socketPath_);
}

std::optional<std::vector<std::uint8_t>> GadgetClient::ReadFlash(const std::string& workDir,
                                                                 std::string& detail) const {
  const std::string file = workDir + "/flash-dump.bin";
  detail = Request("dump " + file);
  if (detail.rfind("ok", 0) != 0) {
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  return bytes;
}

}  // namespace q71x::guest
