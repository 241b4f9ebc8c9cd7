// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A whole simulated serial-flash enclosure for the end-to-end tests of the serial-flash
// procedures: the bridge, its flash part holding old firmware and a configuration area, the flash
// facts the chip check would leave in the window (found with the same device commands it sends),
// and the image and backup files in a directory of the test's own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/enclosure.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "sim/simulated_system.h"
#include "src/device/identification.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/image/sample_image.h"
#include "src/update/work_buffer.h"
#include "tests/support/fault_rule.h"
#include "tests/support/file_bytes.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_dir.h"

namespace q71x::testing {

struct SerialDevice {
  int ChipType = 1;
  int Revision = 1;
  const char* FlashPart = "W25X10";
  std::uint32_t OldFirmwareBytes = 32768;
  std::uint32_t ConfigOffset = 0x8000;
  std::uint32_t ConfigBytes = 512;
  // GetFlashVendor's answer; nothing: the bridge refuses the command.
  std::optional<std::uint8_t> FlashVendorByte;
  bool ModeFlag = false;
};

// A device of `chipType` with `flashPart`, its old firmware and configuration area as given.
inline SerialDevice Device(int chipType, int revision, const char* flashPart,
                           std::uint32_t oldFirmwareBytes = 32768,
                           std::uint32_t configOffset = 0x8000, std::uint32_t configBytes = 512) {
  SerialDevice device;
  device.ChipType = chipType;
  device.Revision = revision;
  device.FlashPart = flashPart;
  device.OldFirmwareBytes = oldFirmwareBytes;
  device.ConfigOffset = configOffset;
  device.ConfigBytes = configBytes;
  return device;
}

inline SerialDevice Qv40714Winbond() {
  return Device(1, 1, "W25X10");
}
inline SerialDevice Qv40714Atmel() {
  return Device(1, 1, "AT25F512B");
}
inline SerialDevice Qv40716Amic(const char* part = "A25L05PU") {
  return Device(3, 0, part);
}
inline SerialDevice Qvk926Sst() {
  return Device(12, 3, "SST25VF010A", 49152);
}
inline SerialDevice Qv40713Mxic32() {
  return Device(14, 2, "MX25V512-P32");
}
// The NVRAM-keeping families: the configuration area is the first 4 KB.
inline SerialDevice Qvk842Eon() {
  return Device(6, 1, "EN25P05", 49152, 0, 4096);
}
inline SerialDevice Qvn962Early(const char* part = "W25X10") {
  SerialDevice device = Device(10, 3, part, 65536, 0, 4096);
  device.FlashVendorByte = 6;
  return device;
}
inline SerialDevice Qvn962SstWord() {
  SerialDevice device = Device(10, 5, "SST25VF016B", 65536, 0, 4096);
  device.FlashVendorByte = 2;
  return device;
}
// The dual path run straight on an MXIC part: the procedure must hold up there too, although a
// chip check, which forgets the SST flag of the device checked before, never plans it for one.
inline SerialDevice Qvn962Mxic32() {
  SerialDevice device = Device(10, 5, "MX25V1006-P32", 65536, 0, 4096);
  device.FlashVendorByte = 5;
  return device;
}

class SerialFlashRig {
 public:
  // `part` replaces the named flash part, e.g. a copy with other data-sheet times.
  explicit SerialFlashRig(const SerialDevice& device,
                          std::optional<sim::SerialFlashPart> part = std::nullopt) {
    if (part) {
      customPart_ = std::make_unique<sim::SerialFlashPart>(*part);
    }
    const sim::SerialFlashPart* fitted =
        customPart_ ? customPart_.get() : sim::FindSerialFlashPart(device.FlashPart);
    EXPECT_NE(nullptr, fitted) << device.FlashPart;
    sim::PersonalityOptions options;
    options.Revision = device.Revision;
    options.FlashVendorByte = device.FlashVendorByte;
    options.ModeFlag = device.ModeFlag;
    auto personality =
        sim::MakeChipPersonality(device.ChipType, sim::NamedRoute(device.ChipType), options);
    EXPECT_TRUE(personality.has_value());

    sim::Enclosure enclosure;
    enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk,
                                            "serial-" + std::string(fitted->Name));
    enclosure.Bridge = sim::BridgeState(std::move(*personality));
    enclosure.Bridge.Flash = std::make_unique<sim::SerialFlash>(*fitted);
    enclosure.Bridge.Flash->Load(0, sim::MakeOldFirmwareImage("0000", device.OldFirmwareBytes, 5));
    config = sim::MakeConfigArea(device.ConfigBytes, 9);
    enclosure.Bridge.Flash->Load(device.ConfigOffset, config);
    path = enclosure.Path;
    system.AddEnclosure(std::move(enclosure));
    oldFlash = Flash();

    window.state.ChipType = ToChipType(device.ChipType);
    window.state.ChipRevision = static_cast<std::uint8_t>(device.Revision);
    window.firmwareFile = dir.File("image.bin");
    window.backupFile = dir.File("backup.bin");
    SettleFlashFacts();
    system.Log().Clear();
  }

  const std::vector<std::uint8_t>& Flash() {
    return system.FindPlugged(path)->Bridge.Flash->Contents();
  }
  std::vector<std::uint8_t> FlashRange(std::uint32_t from, std::uint32_t length) {
    const auto& all = Flash();
    return {all.begin() + from, all.begin() + from + length};
  }
  std::vector<std::uint8_t> OldFlashRange(std::uint32_t from, std::uint32_t length) const {
    return {oldFlash.begin() + from, oldFlash.begin() + from + length};
  }
  bool FlashErased(std::uint32_t from, std::uint32_t length) {
    const auto bytes = FlashRange(from, length);
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
  }

  // Writes the firmware file the window names: a sample image for this chip, or exactly the
  // bytes given. Returns what was written.
  std::vector<std::uint8_t> WriteImage(std::size_t size, bool nvramBlock = false,
                                       std::uint32_t seed = 3) {
    SampleImageOptions options;
    options.ChipType = window.state.ChipType;
    options.ChipRevision = window.state.ChipRevision;
    options.Size = size;
    options.NvramBlock = nvramBlock;
    options.Seed = seed;
    std::vector<std::uint8_t> image = BuildSampleImage(options);
    WriteFileBytes(window.firmwareFile, image);
    return image;
  }

  // Serial-flash commands of one FF 04 operation the bridge received, in order.
  std::vector<const sim::LoggedCommand*> Ff04Commands(std::uint8_t operation) {
    return system.Log().Matching(sim::CdbPattern::Prefix({0xFF, 0x04, operation}));
  }
  static std::uint32_t AddressOf(const sim::LoggedCommand& c) {
    return (static_cast<std::uint32_t>(c.Cdb[3]) << 16) |
           (static_cast<std::uint32_t>(c.Cdb[4]) << 8) | c.Cdb[5];
  }
  std::vector<std::uint32_t> EraseAddresses() {
    std::vector<std::uint32_t> addresses;
    for (const sim::LoggedCommand* c : Ff04Commands(0x14)) {
      addresses.push_back(AddressOf(*c));
    }
    return addresses;
  }

  // Fails (or otherwise upsets) the n-th command from now on whose block starts with `prefix`.
  void ArmFault(std::initializer_list<std::uint8_t> prefix, int nth, sim::FaultKind kind,
                int times = 1, std::uint32_t value = 0) {
    system.Faults().Arm(FaultRuleFor(sim::CdbPattern::Prefix(prefix), nth, kind, times, value));
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  RecordingDialogs dialogs;
  RecordingWindow window;
  TempDir dir;
  std::string path;
  std::vector<std::uint8_t> config;
  std::vector<std::uint8_t> oldFlash;

  // What the chip check finds out about the flash and tells the bridge, by its three ways; again
  // after the enclosure was plugged back in, since the bridge then starts from its ROM.
  void SettleFlashFacts() {
    ChipState& s = window.state;
    s.AtmelFlashPart = -1;
    s.AmicFlashPart = -1;
    const ChipType type = s.ChipType;
    if (type == ChipType::Qv40713ESeries ||
        (type == ChipType::Qvk926Series && s.ChipRevision > 2)) {
      FlashOpcodeSet opcodes;
      if (DetectSerialFlash(path, opcodes) == 1 && opcodes.Vendor != FlashVendor::Unknown) {
        SetFlashOpcodes(path, opcodes);
      }
      s.FlashVendor = opcodes.Vendor;
      std::uint8_t id[4] = {};
      if (type == ChipType::Qv40713ESeries && SpiCommandIn(path, 0x9F, id, 4) == 1 &&
          id[0] == 0xC2 && id[1] == 0x22) {
        SetFlashPageSize(path, 32);
      }
      return;
    }
    if (type == ChipType::Qvn962Series || type == ChipType::Qvk848Series ||
        type == ChipType::Qvk844Series || type == ChipType::Qvn958Series) {
      std::uint8_t reply[4] = {};
      if (GetFlashVendor(path, reply) == 1) {
        s.FlashVendor = ToFlashVendor(reply[0]);
      }
      std::uint8_t id[4] = {};
      if (type == ChipType::Qvn962Series && s.ChipRevision >= 5 &&
          s.FlashVendor == FlashVendor::Sst && SpiCommandIn(path, 0x9F, id, 4) == 1 &&
          id[0] == 0xBF && id[1] == 0x25) {
        s.SstSpiFlash = 1;
      }
      return;
    }
    s.AmicFlashPart = ProbeAmicFlash(path);
    s.AtmelFlashPart = ProbeAtmelFlash(path);
    if (s.AmicFlashPart != -1 || s.AtmelFlashPart != -1) {
      return;
    }
    std::uint8_t reply[4] = {};
    if (GetFlashVendor(path, reply) == 1 && reply[0] != 0) {
      s.FlashVendor = ToFlashVendor(reply[0]);
      return;
    }
    FlashOpcodeSet opcodes;
    if (DetectSerialFlash(path, opcodes) == 1) {
      s.FlashVendor = opcodes.Vendor;
    }
  }

  std::unique_ptr<sim::SerialFlashPart> customPart_;
};

// A part of the catalogue with every erase taking `eraseUs`: for flashes that stay busy past the
// tool's 5-second ready wait.
inline sim::SerialFlashPart SlowErasingPart(const char* name, std::uint32_t eraseUs) {
  sim::SerialFlashPart part = *sim::FindSerialFlashPart(name);
  for (sim::EraseOp& op : part.Erasers) {
    if (op.Opcode != 0) {
      op.TimeUs = eraseUs;
    }
  }
  return part;
}

// Makes the n-th work-buffer request from now on fail, as a heap that has run short would.
class FailingWorkBuffer {
 public:
  explicit FailingWorkBuffer(int nth)
      : previous_(SetWorkBufferFaultHook([this, nth](std::size_t) { return ++requests_ == nth; })) {
  }
  ~FailingWorkBuffer() { SetWorkBufferFaultHook(std::move(previous_)); }
  FailingWorkBuffer(const FailingWorkBuffer&) = delete;
  FailingWorkBuffer& operator=(const FailingWorkBuffer&) = delete;

 private:
  int requests_ = 0;
  WorkBufferFaultHook previous_;
};

// Runs `body` with the process's current directory at `dir`, for the default backup name.
template <typename Body>
void InDirectory(const std::filesystem::path& dir, Body body) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  body();
  std::filesystem::current_path(previous);
}

}  // namespace q71x::testing
