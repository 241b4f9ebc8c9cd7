// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/interface_path_facets.h"

#include <gtest/gtest.h>

namespace q71x {
namespace {

struct PathCase {
  const char* Instance;  // enumerator # device id # instance, before the interface class
  const char* UsbSerial;
  const char* PortPath;
  const char* Guid1394;
  bool Cut = false;  // the path ends there, without its interface class
};

// A serial loses only its LUN; an instance Windows made up (second character '&') names the
// port, not the unit; SBP-2 gives the GUID; other buses and cut paths give nothing.
constexpr PathCase kCases[] = {
    {"\\\\?\\usbstor#disk&ven_acme&prod_box&rev_1.00#3f2a0017&0", "3F2A0017", "", ""},
    {"\\\\?\\usbstor#cdrom&ven_a&prod_b#ab&cd12&1", "AB&CD12", "", ""},
    {"\\\\?\\usbstor#disk&ven_acme&prod_box&rev_1.00#7&2a3b4c5d&0&0", "", "usbstor:7&2a3b4c5d&0",
     ""},
    {"\\\\?\\sbp2#acme&box&lun0#0001020304050A0B", "", "", "0001020304050a0b"},
    {"\\\\?\\sbp2#acme&box&lun0#lun0&0001020304050607", "", "", "0001020304050607"},
    {"\\\\?\\ide#diskacme_box#5&1e0a2b3c&0&0.0.0", "", "", ""},
    {"\\\\?\\usbstor#disk&ven_acme", "", "", "", true},
};

TEST(InterfacePathFacets, TheDeviceInstanceNamesTheUnitOrOnlyItsPort) {
  for (const PathCase& c : kCases) {
    std::string path = c.Instance;
    if (!c.Cut) {
      path += "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    }
    const SystemUnitFacets facets = UnitFacetsOfInterfacePath(path);
    EXPECT_EQ(facets.UsbSerial, c.UsbSerial) << path;
    EXPECT_EQ(facets.PortPath, c.PortPath) << path;
    EXPECT_EQ(facets.Guid1394, c.Guid1394) << path;
  }
}

}  // namespace
}  // namespace q71x
