// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A whole simulated DF-family (or 1394 QVK846) enclosure for the end-to-end tests: the bridge,
// its serial flash holding old firmware and a configuration area, the window state the chip check
// would leave for it, and the image and backup files in a directory of the test's own.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/enclosure.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "sim/simulated_system.h"
#include "src/catalog/chip_tables.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/image/sample_image.h"
#include "tests/support/df_pattern.h"
#include "tests/support/fault_rule.h"
#include "tests/support/file_bytes.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_dir.h"

namespace q71x::testing {

struct DfDeviceSpec {
  int ChipType = 8;
  const char* FlashPart = "W25X10";
  bool On1394 = false;
  // Where the device keeps its configuration area, and how much of it.
  std::uint32_t ConfigOffset = 0;
  std::uint32_t ConfigBytes = 4096;
};

inline DfDeviceSpec Df848Winbond() {
  return {};
}
inline DfDeviceSpec Df848Mxic() {
  return {8, "MX25L512", false, 0, 4096};
}
inline DfDeviceSpec Df844Atmel() {
  return {9, "AT25FS010", false, 0, 4096};
}
inline DfDeviceSpec Qvk846On1394() {
  return {7, "Pm25LV010", true, 0x8000, 1024};
}

class DfSimRig {
 public:
  explicit DfSimRig(const DfDeviceSpec& spec) {
    const sim::SerialFlashPart* part = sim::FindSerialFlashPart(spec.FlashPart);
    EXPECT_NE(nullptr, part) << spec.FlashPart;
    sim::PersonalityOptions options;
    auto personality =
        sim::MakeChipPersonality(spec.ChipType, sim::NamedRoute(spec.ChipType), options);
    EXPECT_TRUE(personality.has_value());

    sim::Enclosure enclosure;
    enclosure.BusKind = spec.On1394 ? sim::Bus::Ieee1394 : sim::Bus::Usb;
    enclosure.Path = sim::MakeEnclosurePath(enclosure.BusKind, sim::InterfaceKind::Disk,
                                            "df-" + std::string(spec.FlashPart));
    enclosure.Bridge = sim::BridgeState(std::move(*personality));
    enclosure.Bridge.Df.WriteDialect =
        spec.On1394 ? sim::DfWriteDialect::EraseFlag : sim::DfWriteDialect::EraseMarks;
    enclosure.Bridge.Flash = std::make_unique<sim::SerialFlash>(*part);
    enclosure.Bridge.Flash->Load(0, sim::MakeOldFirmwareImage("8481", 65536, 7));
    config = sim::MakeConfigArea(spec.ConfigBytes, 11);
    enclosure.Bridge.Flash->Load(spec.ConfigOffset, config);
    path = enclosure.Path;
    system.AddEnclosure(std::move(enclosure));

    // What the chip check leaves behind for this device.
    const int vendor = part->VendorRow;
    window.state.ChipType = ToChipType(spec.ChipType);
    window.state.ChipRevision = 1;
    window.state.FlashVendor = ToFlashVendor(vendor);
    window.state.AtmelFlashPart = -1;
    window.state.AmicFlashPart = -1;
    window.settings.EraseBlockSize = kFlashVendors[vendor].LargeEraseUnit;
    window.settings.EraseSectorSize = kFlashVendors[vendor].SmallEraseUnit;
    window.firmwareFile = dir.File("image.bin");
    window.backupFile = dir.File("backup.bin");
  }

  const std::vector<std::uint8_t>& Flash() {
    return system.FindPlugged(path)->Bridge.Flash->Contents();
  }
  std::vector<std::uint8_t> FlashRange(std::uint32_t from, std::uint32_t length) {
    const auto& all = Flash();
    return {all.begin() + from, all.begin() + from + length};
  }

  // Writes the image file the window names and returns its bytes.
  std::vector<std::uint8_t> WriteImage(std::size_t size, std::uint32_t seed = 3) {
    SampleImageOptions options;
    options.ChipType = window.state.ChipType;
    options.ChipRevision = window.state.ChipRevision;
    options.Size = size;
    options.NvramBlock = size > 4096 && window.state.ChipType != ChipType::Qvk846Series;
    options.Seed = seed;
    std::vector<std::uint8_t> image = BuildSampleImage(options);
    WriteFileBytes(window.firmwareFile, image);
    return image;
  }

  // The DF flash blocks the bridge received, of one kind (FA or FB), in order.
  std::vector<const sim::LoggedCommand*> DfCommands(std::uint8_t code) {
    return system.Log().Matching(DfPattern(code));
  }
  static std::uint32_t AddressOf(const sim::LoggedCommand& c) {
    return (static_cast<std::uint32_t>(c.Cdb[8]) << 16) |
           (static_cast<std::uint32_t>(c.Cdb[9]) << 8) | c.Cdb[10];
  }
  static std::uint32_t LengthOf(const sim::LoggedCommand& c) {
    return (static_cast<std::uint32_t>(c.Cdb[3]) << 8) | c.Cdb[4];
  }

  // Fails, shortens or garbles the n-th DF flash read (FA) or write (FB) from now on.
  void ArmDfFault(std::uint8_t code, int nth, sim::FaultKind kind, int times = 1,
                  std::uint32_t value = 0) {
    system.Faults().Arm(FaultRuleFor(DfPattern(code), nth, kind, times, value));
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  RecordingDialogs dialogs;
  RecordingWindow window;
  TempDir dir;
  std::string path;
  std::vector<std::uint8_t> config;
};

}  // namespace q71x::testing
