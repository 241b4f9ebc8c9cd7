// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/unit_descriptors.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "sim/serial_flash.h"

namespace q71x::sim {
namespace {

// FNV-1a: the same path gives the same facets in every run, so a state folder and its
// enclosures keep naming one unit.
std::uint64_t PathHash(const std::string& path, std::uint64_t salt) {
  std::uint64_t hash = 0xCBF29CE484222325ull ^ salt;
  for (const char c : path) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

std::string Hex(std::uint64_t value, int digits, bool upper) {
  char text[24];
  std::snprintf(text, sizeof text, upper ? "%0*llX" : "%0*llx", digits,
                static_cast<unsigned long long>(value));
  return std::string(text).substr(0, static_cast<std::size_t>(digits));
}

}  // namespace

void CompleteUnitFacets(Enclosure& enclosure, int port) {
  if (enclosure.BusKind == Bus::Usb) {
    if (enclosure.UsbSerial.empty()) {
      // Twelve hex digits, as many bridges' factory serials have.
      enclosure.UsbSerial = Hex(PathHash(enclosure.Path, 0) >> 16, 12, true);
    }
    if (enclosure.PortPath.empty()) {
      enclosure.PortPath = "usb:1-" + std::to_string(port);
    }
  } else if (enclosure.Guid1394.empty()) {
    enclosure.Guid1394 = Hex(PathHash(enclosure.Path, 1394), 16, false);
  }
}

void ApplyUnitTraits(Enclosure& enclosure, std::string_view key, const UnitTraits& unit) {
  enclosure.Path = MakeEnclosurePath(enclosure.BusKind, enclosure.Kind,
                                     unit.Name.empty() ? std::string(key) : unit.Name);
  enclosure.UsbSerial = unit.UsbSerial;
  enclosure.PortPath = unit.PortPath;
}

bool ConfigAreaBlank(const Enclosure& enclosure) {
  const SerialFlash* flash = enclosure.Bridge.Flash.get();
  if (enclosure.ConfigBytes == 0 || flash == nullptr) {
    return false;
  }
  const std::vector<std::uint8_t>& bytes = flash->Contents();
  const std::size_t end = std::min<std::size_t>(
      bytes.size(), std::size_t{enclosure.ConfigOffset} + enclosure.ConfigBytes);
  const std::size_t begin = std::min<std::size_t>(enclosure.ConfigOffset, end);
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end),
                     [](std::uint8_t byte) { return byte == 0xFF; });
}

void PowerOnDescriptors(Enclosure& enclosure) {
  enclosure.DefaultDescriptors = enclosure.SerialLostWithConfigArea && ConfigAreaBlank(enclosure);
}

std::string PresentedUsbSerial(const Enclosure& enclosure) {
  if (enclosure.BusKind != Bus::Usb) {
    return {};
  }
  return enclosure.DefaultDescriptors ? std::string(kDefaultUsbSerial) : enclosure.UsbSerial;
}

}  // namespace q71x::sim
