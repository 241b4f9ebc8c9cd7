// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/interface_path_facets.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace q71x {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at = text.find(separator); at != std::string::npos;
       at = text.find(separator, start)) {
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool AllHex(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// "3f2a0017&0" -> "3f2a0017": the LUN Windows appends after the last '&'.
std::string WithoutLun(const std::string& instance) {
  const std::size_t amp = instance.rfind('&');
  if (amp == std::string::npos || amp + 1 == instance.size() ||
      !std::all_of(instance.begin() + static_cast<std::ptrdiff_t>(amp) + 1, instance.end(),
                   [](unsigned char c) { return std::isdigit(c) != 0; })) {
    return instance;
  }
  return instance.substr(0, amp);
}

}  // namespace

SystemUnitFacets UnitFacetsOfInterfacePath(const std::string& interfacePath) {
  // enumerator # device id # instance # interface class
  const std::vector<std::string> parts = Split(interfacePath, '#');
  if (parts.size() < 4) {
    return {};
  }
  const std::string enumerator = Lower(parts[0].substr(parts[0].rfind('\\') + 1));
  const std::string& instance = parts[2];
  SystemUnitFacets facets;
  if (enumerator == "usbstor") {
    const bool madeUp = instance.size() >= 2 && instance[1] == '&';
    if (madeUp) {
      facets.PortPath = "usbstor:" + Lower(WithoutLun(instance));
    } else if (!instance.empty()) {
      // Windows keeps instance ids in upper case; the interface path comes lower-cased.
      facets.UsbSerial = Upper(WithoutLun(instance));
    }
  } else if (enumerator == "sbp2") {
    for (const std::string& token : Split(instance, '&')) {
      if (token.size() == 16 && AllHex(token)) {
        facets.Guid1394 = Lower(token);
        break;
      }
    }
  }
  return facets;
}

}  // namespace q71x
