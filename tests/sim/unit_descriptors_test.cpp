// SPDX-License-Identifier: GPL-2.0-or-later
// What the host reads of each simulated enclosure without a command: a serial, port or GUID of
// its own that stays the same from run to run, and the default serial of a bridge whose
// configuration area is blank once it powers on again.
#include "sim/unit_descriptors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/device/unit_identity.h"

namespace q71x::sim {
namespace {

TEST(UnitDescriptors, EveryEnclosureOfTheDemoMachineIsItsOwnUnitInEveryRun) {
  SimulatedSystem first;
  SimulatedSystem second;
  AddDemoMachine(first);
  AddDemoMachine(second);
  std::set<std::string> names;
  std::set<std::string> ports;
  for (std::size_t i = 0; i < first.Enclosures().size(); ++i) {
    const Enclosure& a = *first.Enclosures()[i];
    const Enclosure& b = *second.Enclosures()[i];
    const std::string name = a.BusKind == Bus::Usb ? PresentedUsbSerial(a) : a.Guid1394;
    EXPECT_EQ(name, b.BusKind == Bus::Usb ? PresentedUsbSerial(b) : b.Guid1394) << a.Path;
    EXPECT_FALSE(IsPlaceholderSerial(name)) << a.Path;
    EXPECT_TRUE(names.insert(name).second) << a.Path;
    EXPECT_TRUE(a.BusKind != Bus::Usb || ports.insert(a.PortPath).second) << a.Path;
  }
}

TEST(UnitDescriptors, ABlankConfigurationAreaGivesTheDefaultSerialFromTheNextPowerOn) {
  ASSERT_TRUE(IsPlaceholderSerial(kDefaultUsbSerial));
  SimulatedSystem system;
  Enclosure* enclosure = AddPreset(system, "qv40714-atmel", {}, UnitTraits{"unit-b", "B0B1", ""});
  ASSERT_NE(enclosure, nullptr);
  enclosure->SerialLostWithConfigArea = true;
  ASSERT_EQ(PresentedUsbSerial(*enclosure), "B0B1");
  const auto& flash = enclosure->Bridge.Flash->Contents();
  const std::vector<std::uint8_t> kept(
      flash.begin() + enclosure->ConfigOffset,
      flash.begin() + enclosure->ConfigOffset + enclosure->ConfigBytes);
  const auto powerCycle = [&] {
    ASSERT_TRUE(system.Unplug(enclosure->Path));
    ASSERT_TRUE(system.Plug(enclosure->Path));
  };

  enclosure->Bridge.Flash->Load(enclosure->ConfigOffset,
                                std::vector<std::uint8_t>(kept.size(), 0xFF));
  EXPECT_EQ(PresentedUsbSerial(*enclosure), "B0B1");  // built before the erase
  powerCycle();
  EXPECT_EQ(PresentedUsbSerial(*enclosure), kDefaultUsbSerial);
  enclosure->Bridge.Flash->Load(enclosure->ConfigOffset, kept);
  powerCycle();
  EXPECT_EQ(PresentedUsbSerial(*enclosure), "B0B1");
}

}  // namespace
}  // namespace q71x::sim
