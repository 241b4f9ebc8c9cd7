// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Counts the data bytes each pass-through really moved (what the backend wrote back as the
// transfer length of a request it carried out) and hands every count on as it happens.

#include <cstdint>
#include <functional>

#include "src/device/platform/forwarding_platform.h"

namespace q71x::cli {

class TransferCounter final : public ForwardingPlatform {
 public:
  using Listener = std::function<void(std::uint64_t bytes)>;
  TransferCounter(Platform& inner, Listener listener)
      : ForwardingPlatform(inner), listener_(std::move(listener)) {}

  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;

 private:
  Listener listener_;
};

}  // namespace q71x::cli
