// SPDX-License-Identifier: GPL-2.0-or-later
// What the host reads of each simulated enclosure without a command: a serial, port or GUID of
// its own that stays the same from run to run, and the default serial of a bridge whose
// configuration area is blank once it powers on again.
#include "sim/unit_descriptors.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/device/unit_identity.h"

namespace q71x::sim {
namespace {

void PowerCycle(SimulatedSystem& system, const Enclosure& enclosure) {
  ASSERT_TRUE(system.Unplug(enclosure.Path));
  ASSERT_TRUE(system.Plug(enclosure.Path));
}

void FillConfigArea(Enclosure& enclosure, const std::vector<std::uint8_t>& bytes) {
  enclosure.Bridge.Flash->Load(enclosure.ConfigOffset, bytes);
}

std::vector<std::uint8_t> ConfigArea(const Enclosure& enclosure) {
  const auto& flash = enclosure.Bridge.Flash->Contents();
  return {flash.begin() + enclosure.ConfigOffset,
          flash.begin() + enclosure.ConfigOffset + enclosure.ConfigBytes};
}

TEST(UnitDescriptors, EveryEnclosureOfTheDemoMachineIsItsOwnUnitInEveryRun) {
  SimulatedSystem first;
  SimulatedSystem second;
  AddDemoMachine(first);
  AddDemoMachine(second);
  ASSERT_EQ(first.Enclosures().size(), second.Enclosures().size());
  std::set<std::string> serials;
  std::set<std::string> ports;
  std::set<std::string> guids;
  for (std::size_t i = 0; i < first.Enclosures().size(); ++i) {
    const Enclosure& a = *first.Enclosures()[i];
    const Enclosure& b = *second.Enclosures()[i];
    SCOPED_TRACE(a.Path);
    EXPECT_EQ(PresentedUsbSerial(a), PresentedUsbSerial(b));
    EXPECT_EQ(a.PortPath, b.PortPath);
    EXPECT_EQ(a.Guid1394, b.Guid1394);
    if (a.BusKind == Bus::Usb) {
      EXPECT_FALSE(IsPlaceholderSerial(PresentedUsbSerial(a)));
      EXPECT_TRUE(serials.insert(PresentedUsbSerial(a)).second);
      EXPECT_TRUE(ports.insert(a.PortPath).second);
    } else {
      EXPECT_EQ(a.Guid1394.size(), 16u);
      EXPECT_EQ(a.Guid1394.find_first_not_of("0123456789abcdef"), std::string::npos);
      EXPECT_TRUE(guids.insert(a.Guid1394).second);
    }
  }
  EXPECT_FALSE(guids.empty());

  // A second enclosure of one model: its own path and the serial it is given.
  Enclosure* twin =
      AddPreset(first, "qv40714-atmel", {}, UnitTraits{"qv40714-atmel-b", "B0B1", ""});
  ASSERT_NE(twin, nullptr);
  EXPECT_NE(twin->Path, first.Enclosures().front()->Path);
  EXPECT_EQ(PresentedUsbSerial(*twin), "B0B1");
  EXPECT_TRUE(ports.insert(twin->PortPath).second);
}

TEST(UnitDescriptors, ABlankConfigurationAreaGivesTheDefaultSerialFromTheNextPowerOn) {
  ASSERT_TRUE(IsPlaceholderSerial(kDefaultUsbSerial));
  SimulatedSystem system;
  // A serial-flash preset and a DF preset, whose descriptors come from their configuration area.
  for (const char* key : {"qv40714-atmel", "qvk848-mxic"}) {
    SCOPED_TRACE(key);
    Enclosure* enclosure = AddPreset(system, key);
    if (enclosure == nullptr) {
      enclosure = AddHardwarePreset(system, key);
    }
    ASSERT_NE(enclosure, nullptr);
    ASSERT_GT(enclosure->ConfigBytes, 0u);
    const std::string serial = enclosure->UsbSerial;
    const std::vector<std::uint8_t> kept = ConfigArea(*enclosure);

    FillConfigArea(*enclosure, std::vector<std::uint8_t>(enclosure->ConfigBytes, 0xFF));
    EXPECT_EQ(PresentedUsbSerial(*enclosure), serial);  // built before the erase
    PowerCycle(system, *enclosure);
    EXPECT_EQ(PresentedUsbSerial(*enclosure), kDefaultUsbSerial);

    FillConfigArea(*enclosure, kept);
    PowerCycle(system, *enclosure);
    EXPECT_EQ(PresentedUsbSerial(*enclosure), serial);
  }
  // A bridge with no configuration area in its flash keeps its serial whatever the flash holds.
  Enclosure* parallel = AddHardwarePreset(system, "qv40712-sst");
  ASSERT_NE(parallel, nullptr);
  EXPECT_EQ(parallel->ConfigBytes, 0u);
  PowerCycle(system, *parallel);
  EXPECT_EQ(PresentedUsbSerial(*parallel), parallel->UsbSerial);
}

}  // namespace
}  // namespace q71x::sim
