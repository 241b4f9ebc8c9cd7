// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/sense_data.h"

namespace q71x::gadget {

std::array<std::uint8_t, kFixedSenseLength> FixedFormatSense(const SenseData& sense) {
  std::array<std::uint8_t, kFixedSenseLength> bytes{};
  bytes[0] = 0x70;  // current error, fixed format
  bytes[2] = sense.Key;
  bytes[7] = kFixedSenseLength - 8;  // additional sense length
  bytes[12] = sense.Asc;
  bytes[13] = sense.Ascq;
  return bytes;
}

}  // namespace q71x::gadget
