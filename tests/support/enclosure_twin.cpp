// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/support/enclosure_twin.h"

#include <vector>

#include "sim/serial_flash.h"

namespace q71x::testing {
namespace {

constexpr std::uint32_t kOwnBytes = 16;
constexpr std::uint8_t kOwnByte = 0x2B;

}  // namespace

void MakeTwin(sim::Enclosure& enclosure, const std::string& suffix, const std::string& serial,
              std::uint32_t configOffset, std::uint32_t configBytes) {
  enclosure.Path += suffix;
  GiveUnitFacet(enclosure, serial);
  if (enclosure.Bridge.Flash != nullptr && configBytes >= kOwnBytes) {
    const std::vector<std::uint8_t> own(kOwnBytes, kOwnByte);
    enclosure.Bridge.Flash->Load(configOffset + configBytes - kOwnBytes, own);
  }
}

}  // namespace q71x::testing
