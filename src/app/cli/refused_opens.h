// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Notes every device the system refused to open for lack of access, so that a run which could
// not reach its device can say why (exit code 5) instead of calling the device absent.

#include <string>
#include <vector>

#include "src/device/platform/forwarding_platform.h"

namespace q71x::cli {

class RefusedOpens final : public ForwardingPlatform {
 public:
  using ForwardingPlatform::ForwardingPlatform;

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;

  // Each refused path once, in the order first refused.
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
};

}  // namespace q71x::cli
