#include "src/update/firmware_version_text.h"

#include <cstdio>

namespace q71x {
namespace {

// The chips that carry five version numbers.
bool HasFiveNumberVersion(std::uint8_t chipType) {
  return chipType == 8 || chipType == 9 || chipType == 11;
}

std::string FiveNumbers(int a, int b, int c, int d, int e) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%.2d.%.2d.%.2d.%.2d", a, b, c, d, e);
  return text;
}

}  // namespace

bool HasFwInfoSignature(const std::uint8_t* reply) {
  return reply[0] == 0xF4 && reply[1] == 0xE7;
}

std::string FirmwareVersionText(std::uint8_t chipType, const std::uint8_t* reply,
                                std::uint32_t transferred, int toggleBitSet) {
  if (chipType == 10) {
    std::uint8_t last = reply[14];
    if (toggleBitSet == 1) {
      last ^= 0x01;
    }
    return FiveNumbers(reply[6], reply[7], reply[12], reply[13], static_cast<std::int8_t>(last));
  }
  if (HasFiveNumberVersion(chipType)) {
    return FiveNumbers(reply[6], reply[7], reply[12], reply[13], reply[14]);
  }
  char text[48];
  if (transferred > 12) {
    std::snprintf(text, sizeof text, "Ver %d.%.2d.%.2d", reply[12], reply[13], reply[14]);
  } else {
    std::snprintf(text, sizeof text, "Ver %d.%.2d", reply[6], reply[7]);
  }
  return text;
}

std::string UnreadableVersionText(std::uint8_t chipType) {
  if (chipType == 0) {
    return "00.00";
  }
  if (chipType == 1 || chipType == 2 || chipType == 4) {
    return "02.00";
  }
  return "01.00";
}

}  // namespace q71x
