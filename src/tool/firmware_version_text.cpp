// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/firmware_version_text.h"

#include <cstdio>

#include "src/catalog/chip_type_table.h"

namespace q71x {
namespace {

std::string FiveNumbers(int a, int b, int c, int d, int e) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%.2d.%.2d.%.2d.%.2d", a, b, c, d, e);
  return text;
}

}  // namespace

bool HasFwInfoSignature(const std::uint8_t* reply) {
  return reply[0] == 0xF4 && reply[1] == 0xE7;
}

std::string FirmwareVersionText(ChipType chipType, const std::uint8_t* reply,
                                std::uint32_t transferred, int toggleBitSet) {
  switch (ChipRow(chipType).Version) {
    case VersionStyle::FiveNumbersToggled: {
      std::uint8_t last = reply[14];
      if (toggleBitSet == 1) {
        last ^= 0x01;
      }
      return FiveNumbers(reply[6], reply[7], reply[12], reply[13], static_cast<std::int8_t>(last));
    }
    case VersionStyle::FiveNumbers:
      return FiveNumbers(reply[6], reply[7], reply[12], reply[13], reply[14]);
    case VersionStyle::Plain:
      break;
  }
  char text[48];
  if (transferred > 12) {
    std::snprintf(text, sizeof text, "Ver %d.%.2d.%.2d", reply[12], reply[13], reply[14]);
  } else {
    std::snprintf(text, sizeof text, "Ver %d.%.2d", reply[6], reply[7]);
  }
  return text;
}

std::string UnreadableVersionText(ChipType chipType) {
  return std::string(ChipRow(chipType).UnreadableVersion);
}

}  // namespace q71x
