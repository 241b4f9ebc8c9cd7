// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/interface_path_facets.h"

#include <gtest/gtest.h>

#include "src/device/unit_identity.h"

namespace q71x {
namespace {

constexpr const char* kDiskClass = "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

TEST(InterfacePathFacets, UsbSerialIsTheInstanceWithoutItsLun) {
  const SystemUnitFacets usb = UnitFacetsOfInterfacePath(
      std::string("\\\\?\\usbstor#disk&ven_acme&prod_box&rev_1.00#3f2a0017&0") + kDiskClass);
  EXPECT_EQ(usb.UsbSerial, "3F2A0017");
  EXPECT_EQ(usb.PortPath, "");
  EXPECT_EQ(usb.Guid1394, "");
  // A serial with '&' inside keeps it; only the trailing LUN goes.
  EXPECT_EQ(UnitFacetsOfInterfacePath(std::string("\\\\?\\usbstor#cdrom&ven_a&prod_b#ab&cd12&1") +
                                      kDiskClass)
                .UsbSerial,
            "AB&CD12");
}

TEST(InterfacePathFacets, AnInstanceWindowsMadeUpNamesThePortNotTheUnit) {
  const SystemUnitFacets madeUp = UnitFacetsOfInterfacePath(
      std::string("\\\\?\\usbstor#disk&ven_acme&prod_box&rev_1.00#7&2a3b4c5d&0&0") + kDiskClass);
  EXPECT_EQ(madeUp.UsbSerial, "");
  EXPECT_EQ(madeUp.PortPath, "usbstor:7&2a3b4c5d&0");
  UnitIdentity unit;
  unit.UsbSerial = madeUp.UsbSerial;
  unit.PortPath = madeUp.PortPath;
  EXPECT_FALSE(unit.HasStrongFacet());
}

TEST(InterfacePathFacets, Sbp2GuidAndPathsThatNameNothing) {
  const SystemUnitFacets sbp2 = UnitFacetsOfInterfacePath(
      std::string("\\\\?\\sbp2#acme&box&lun0#0001020304050A0B") + kDiskClass);
  EXPECT_EQ(sbp2.Guid1394, "0001020304050a0b");
  EXPECT_EQ(sbp2.UsbSerial, "");
  EXPECT_EQ(UnitFacetsOfInterfacePath(
                std::string("\\\\?\\sbp2#acme&box&lun0#lun0&0001020304050607") + kDiskClass)
                .Guid1394,
            "0001020304050607");
  // Another bus, a volume path and a cut path say nothing.
  const SystemUnitFacets ide = UnitFacetsOfInterfacePath(
      std::string("\\\\?\\ide#diskacme_box#5&1e0a2b3c&0&0.0.0") + kDiskClass);
  EXPECT_EQ(ide.UsbSerial + ide.PortPath + ide.Guid1394, "");
  EXPECT_EQ(UnitFacetsOfInterfacePath("\\\\.\\E:").UsbSerial, "");
  EXPECT_EQ(UnitFacetsOfInterfacePath("\\\\?\\usbstor#disk&ven_acme").UsbSerial, "");
}

}  // namespace
}  // namespace q71x
