// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/linux/sysfs_unit.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

#include "src/device/platform/linux/sysfs_scan.h"

namespace q71x::linux_platform {
namespace fs = std::filesystem;
namespace {

bool HasAttribute(const fs::path& dir, const char* name) {
  std::error_code ec;
  return fs::is_regular_file(dir / name, ec);
}

// "0x0001020304050607" (a node's guid) or "0001020304050607:0:0" (ieee1394_id): the part
// before any ':' as 16 lower-case hex digits; empty when it is no 64-bit hex number.
std::string GuidText(std::string text) {
  text = text.substr(0, text.find(':'));
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text = text.substr(2);
  }
  if (text.empty() || text.size() > 16 ||
      !std::all_of(text.begin(), text.end(),
                   [](unsigned char c) { return std::isxdigit(c) != 0; })) {
    return {};
  }
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return std::string(16 - text.size(), '0') + text;
}

}  // namespace

SystemUnitFacets UnitFacetsOfScsiDevice(const fs::path& root, const fs::path& deviceDir) {
  SystemUnitFacets facets;
  const fs::path stop = root / "sys";
  for (fs::path dir = deviceDir; !dir.empty() && dir != stop && dir != dir.root_path();
       dir = dir.parent_path()) {
    if (facets.Guid1394.empty()) {
      for (const char* name : {"ieee1394_id", "guid"}) {
        if (HasAttribute(dir, name) && facets.Guid1394.empty()) {
          facets.Guid1394 = GuidText(ReadAttribute(dir / name));
        }
      }
    }
    if (HasAttribute(dir, "busnum") && HasAttribute(dir, "devpath")) {
      facets.PortPath =
          "usb:" + ReadAttribute(dir / "busnum") + "-" + ReadAttribute(dir / "devpath");
      if (HasAttribute(dir, "serial")) {
        facets.UsbSerial = ReadAttribute(dir / "serial");
      }
      break;
    }
  }
  return facets;
}

}  // namespace q71x::linux_platform
