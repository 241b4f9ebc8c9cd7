// SPDX-License-Identifier: GPL-2.0-or-later
// Where the disk-kept firmware area lies is worked out from the bridge's and the drive's answers.
// Against the shipped simulator presets (a 512-byte drive, a drive of 2^32 sectors and more in
// 4 KB sectors, and the chip type that answers through its configuration block): a failed,
// short or garbled answer stops every action before the disk is touched, and a descriptor that
// cannot be believed never moves the area off the sectors past the capacity.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/hardware_presets.h"
#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/update/disk/disk_area_location.h"
#include "src/update/disk/disk_firmware_update.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/update/disk_and_parallel_test_files.h"

namespace q71x {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::CdbPattern;
using sim::FaultKind;

constexpr std::uint32_t kBlock = 65536;
const std::string kUnreadable = "Firmware area position out of range, firmware area not accessed!";
const std::string kBackupFailed = "Read Back to Backup Error!!";

const char* const kDiskPresets[] = {"qv40709-disk", "qvk924-disk-4k", "qv40713e-disk"};

enum class DiskAction { Programming, EraseOnly, BackupOnly };
constexpr DiskAction kActions[] = {DiskAction::Programming, DiskAction::EraseOnly,
                                   DiskAction::BackupOnly};

Bytes DescriptorBytes(std::uint64_t base) {
  return Bytes{0x55,
               static_cast<std::uint8_t>(base >> 24),
               static_cast<std::uint8_t>(base >> 16),
               static_cast<std::uint8_t>(base >> 8),
               static_cast<std::uint8_t>(base),
               0xAA};
}

bool WideDrive(const char* key) {
  return sim::FindHardwarePreset(key)->DiskSectors >> 32 != 0;
}

const char* ActionName(DiskAction run) {
  switch (run) {
    case DiskAction::Programming:
      return "programming";
    case DiskAction::EraseOnly:
      return "erase only";
    case DiskAction::BackupOnly:
      return "backup only";
  }
  return "";
}

// One preset enclosure on a fresh machine, with the window set up for one action.
class PresetDisk {
 public:
  PresetDisk(const char* key, DiskAction run, const testing::TempDir& files) {
    preset_ = sim::FindHardwarePreset(key);
    sim::Enclosure* enclosure = sim::AddHardwarePreset(system, key);
    if (preset_ == nullptr || enclosure == nullptr) {
      ADD_FAILURE() << "no preset " << key;
      return;
    }
    path = enclosure->Path;
    disk = &*enclosure->Bridge.Disk;
    window.state.ChipType = ToChipType(preset_->ChipType);
    window.firmwareFile = files.Write("image.bin", testing::PatternBytes(100000, 5));
    window.backupFile = files.File("backup.bin");
    window.settings.FirmwareSize = 2 * kBlock;
    window.rdVersion = run != DiskAction::Programming;
    window.eraseOnly = run == DiskAction::EraseOnly;
    window.backupOnly = run == DiskAction::BackupOnly;
    system.Log().Clear();
  }

  std::uint64_t AreaStart() const { return sim::PresetDiskAreaStart(*preset_); }
  // The area and the 64 KB the host sees just below it.
  Bytes AroundTheArea() const {
    const std::uint64_t lead = kBlock / disk->BlockSize();
    Bytes bytes(3 * kBlock);
    EXPECT_TRUE(disk->Read(AreaStart() - lead, static_cast<std::uint32_t>(3 * lead), bytes));
    return bytes;
  }
  void Arm(const CdbPattern& pattern, int nth, FaultKind kind) {
    // A short answer arrives with zeros where the bridge sent nothing; one that truncates only
    // zeros is the true answer. Nothing moving at all changes every answer taken here.
    ArmRule(pattern, nth, 1, kind, kind == FaultKind::Short ? 0 : 7919);
  }
  bool FaultFired() { return system.Faults().FiredCount(fault_) > 0; }
  // The first sector of every WRITE(10) and WRITE(16) sent.
  std::vector<std::uint64_t> WrittenLbas() {
    std::vector<std::uint64_t> lbas;
    for (const auto& entry : system.Log().Entries()) {
      const std::size_t width = entry.Cdb[0] == 0x2A ? 4 : entry.Cdb[0] == 0x8A ? 8 : 0;
      if (width != 0) {
        std::uint64_t lba = 0;
        for (std::size_t i = 0; i < width; ++i) {
          lba = (lba << 8) | entry.Cdb[2 + i];
        }
        lbas.push_back(lba);
      }
    }
    return lbas;
  }
  // The descriptor bytes of the area's first sector, as a programming run left them.
  void PutDescriptorBytes(const Bytes& six) {
    Bytes sector(disk->BlockSize());
    ASSERT_TRUE(disk->Read(AreaStart(), 1, sector));
    std::copy(six.begin(), six.end(), sector.begin() + 150);
    ASSERT_TRUE(disk->Write(AreaStart(), 1, sector));
  }
  bool Shifted() const { return preset_->DiskAreaShift; }
  // The drive ends at its own sector count, with no hidden sectors past it: the record's block
  // does not exist, and the drive refuses its read as a compliant drive does.
  void EndTheDriveAtItsCount() {
    sim::AttachedDiskGeometry geometry = disk->Geometry();
    geometry.ReservedSectors = 0;
    disk = &system.FindPlugged(path)->Bridge.Disk.emplace(geometry);
  }
  // Every matching command from the nth on, `times` of them, is refused with this sense.
  void ArmRefusal(const CdbPattern& pattern, int nth, int times, std::uint32_t sense) {
    ArmRule(pattern, nth, times, FaultKind::CheckCondition, sense);
  }
  // The first sector the record is read from: past the capacity, which is the area start.
  std::uint64_t RecordLba() const { return AreaStart(); }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  testing::RecordingWindow window;
  std::string path;
  sim::AttachedDisk* disk = nullptr;

 private:
  void ArmRule(const CdbPattern& pattern, int nth, int times, FaultKind kind, std::uint32_t value) {
    sim::FaultRule rule;
    rule.Pattern = pattern;
    rule.Nth = nth;
    rule.Times = times;
    rule.Kind = kind;
    rule.Value = value;
    rule.Path = path;
    fault_ = system.Faults().Arm(rule);
  }

  const sim::HardwarePreset* preset_ = nullptr;
  std::size_t fault_ = 0;
};

struct LocatingCommand {
  const char* Name;
  CdbPattern Pattern;
};

std::vector<LocatingCommand> LocatingCommands(bool wide) {
  return {
      {"capacity", CdbPattern::Prefix({0x25})},
      {"configuration block", CdbPattern::Prefix({0xFF, 0x04, 0xA0})},
      {"IDENTIFY", CdbPattern::Prefix({0xDF}).With(11, 0xEC)},
      {"firmware signature", CdbPattern::Prefix({0xDF}).With(11, 0xFD)},
      {"descriptor record", CdbPattern::Prefix({wide ? std::uint8_t{0x88} : std::uint8_t{0x28}})}};
}

struct LocatingFault {
  FaultKind Kind;
  int Nth;  // 1: the answer taken, 2: the one it is proven against
};

constexpr LocatingFault kLocatingFaults[] = {
    {FaultKind::Fail, 1},    {FaultKind::Fail, 2},    {FaultKind::Timeout, 2},
    {FaultKind::Garbage, 1}, {FaultKind::Garbage, 2}, {FaultKind::Short, 1},
    {FaultKind::Unplug, 1},
};

TEST(DiskAreaLocationSimTest, AnswerThatCannotBeTrustedStopsEveryActionBeforeTheDisk) {
  testing::TempDir files;
  testing::ScopedCurrentDir here(files.Path());
  int fired = 0;
  for (const char* key : kDiskPresets) {
    for (const DiskAction run : kActions) {
      for (const LocatingCommand& command : LocatingCommands(WideDrive(key))) {
        for (const LocatingFault& fault : kLocatingFaults) {
          SCOPED_TRACE(::testing::Message()
                       << key << ", " << ActionName(run) << ", " << command.Name << " answer "
                       << fault.Nth << ", fault " << static_cast<int>(fault.Kind));
          std::filesystem::remove(files.File("backup.bin"));
          testing::RecordingDialogs dialogs;
          PresetDisk device(key, run, files);
          const Bytes before = device.AroundTheArea();
          const std::size_t stored = device.disk->StoredSectorCount();
          device.Arm(command.Pattern, fault.Nth, fault.Kind);

          const int result = UpdateDiskFirmware(device.window, device.path);
          if (!device.FaultFired()) {
            // Chip type 14 says through its configuration block whether the disk holds
            // firmware and never asks for the signature.
            EXPECT_EQ(std::string("firmware signature"), command.Name);
            continue;
          }
          ++fired;
          EXPECT_EQ(0, result);
          const std::vector<std::string>& texts = device.window.statusHistory;
          if (run == DiskAction::BackupOnly) {
            EXPECT_EQ((std::vector<std::string>{kUnreadable, kBackupFailed}), texts);
            EXPECT_FALSE(std::filesystem::exists(files.File("backup.bin")));
          } else {
            EXPECT_EQ(std::vector<std::string>{kUnreadable}, texts);
          }
          EXPECT_TRUE(device.WrittenLbas().empty());
          EXPECT_TRUE(dialogs.Boxes().empty());
          EXPECT_EQ(before, device.AroundTheArea());
          EXPECT_EQ(stored, device.disk->StoredSectorCount());
        }
      }
    }
  }
  // Every preset, action, command and fault, less the signature chip type 14 never asks for.
  EXPECT_EQ(3 * 3 * 5 * 7 - 3 * 7, fired);
}

TEST(DiskAreaLocationSimTest, DescriptorThatCannotBeBelievedLeavesTheAreaPastTheCapacity) {
  testing::TempDir files;
  struct Case {
    const char* Name;
    // The six descriptor bytes, given the sector the record is read from.
    Bytes (*Descriptor)(std::uint64_t record);
  };
  const Case cases[] = {
      {"garbled", [](std::uint64_t) { return Bytes{0x3C, 0x91, 0x07, 0xE2, 0x5D, 0x18}; }},
      {"marks without a base", [](std::uint64_t) { return Bytes{0x55, 0, 0, 0, 0, 0xAA}; }},
      {"area inside the host's sectors",
       [](std::uint64_t record) { return DescriptorBytes(record - 0x800 + 257); }},
      {"area far past the capacity",
       [](std::uint64_t record) { return DescriptorBytes(record + 0x10000 + 257); }},
      {"base below any area", [](std::uint64_t) { return DescriptorBytes(5); }},
  };
  for (const char* key : kDiskPresets) {
    for (const Case& test : cases) {
      SCOPED_TRACE(::testing::Message() << key << ", " << test.Name);
      testing::RecordingDialogs dialogs;
      PresetDisk device(key, DiskAction::Programming, files);
      device.PutDescriptorBytes(test.Descriptor(device.RecordLba()));
      const Bytes before = device.AroundTheArea();
      const Bytes below(before.begin(), before.begin() + kBlock);

      // The area is placed by the capacity alone: its base 257 sectors past the area start.
      DiskAreaFacts facts;
      ASSERT_EQ("", LocateDiskArea(device.path, device.window.state.ChipType, facts));
      const std::uint64_t capacityBase = device.AreaStart() + 257;
      EXPECT_EQ(capacityBase, facts.AreaBase);

      ASSERT_EQ(1, UpdateDiskFirmware(device.window, device.path));
      const Bytes around = device.AroundTheArea();
      EXPECT_EQ(below, Bytes(around.begin(), around.begin() + kBlock));
      const std::uint64_t sectorsPerBlock = kBlock / device.disk->BlockSize();
      EXPECT_EQ(
          (std::vector<std::uint64_t>{device.AreaStart(), device.AreaStart() + sectorsPerBlock}),
          device.WrittenLbas());
      Bytes image = testing::PatternBytes(100000, 5);
      image.resize(2 * kBlock, 0x00);
      const Bytes descriptor = DescriptorBytes(capacityBase);
      std::copy(descriptor.begin(), descriptor.end(), image.begin() + 150);
      EXPECT_EQ(image, Bytes(around.begin() + kBlock, around.end()));

      // The next look believes the descriptor just written and finds the same area.
      DiskAreaFacts again;
      ASSERT_EQ("", LocateDiskArea(device.path, device.window.state.ChipType, again));
      EXPECT_EQ(capacityBase, again.AreaBase);
    }
  }
}

TEST(DiskAreaLocationSimTest, SoundDescriptorOfThePresetIsBelievedWithItsOwnBase) {
  for (const char* key : kDiskPresets) {
    SCOPED_TRACE(key);
    testing::TempDir files;
    PresetDisk device(key, DiskAction::Programming, files);
    DiskAreaFacts facts;
    ASSERT_EQ("", LocateDiskArea(device.path, device.window.state.ChipType, facts));
    EXPECT_TRUE(facts.FirmwarePresent);
    // The shifted preset keeps a base 256 past its area, the others 257.
    EXPECT_EQ(device.AreaStart() + (device.Shifted() ? 256 : 257), facts.AreaBase);
    std::uint64_t start = 0;
    ASSERT_TRUE(FwAreaStart(facts.AreaBase, facts.Shifted, start));
    EXPECT_EQ(device.AreaStart(), start);
  }
}

TEST(DiskAreaLocationSimTest, BackupReadThatIsNotProvenLeavesNoFile) {
  testing::TempDir files;
  testing::ScopedCurrentDir here(files.Path());
  for (const char* key : kDiskPresets) {
    // Past the two reads that prove the descriptor: the backup's own read and its proof.
    for (const LocatingFault fault :
         {LocatingFault{FaultKind::Garbage, 3}, LocatingFault{FaultKind::Garbage, 4},
          LocatingFault{FaultKind::Short, 4}, LocatingFault{FaultKind::Fail, 4}}) {
      SCOPED_TRACE(::testing::Message()
                   << key << ", read " << fault.Nth << ", fault " << static_cast<int>(fault.Kind));
      std::filesystem::remove(files.File("backup.bin"));
      testing::RecordingDialogs dialogs;
      PresetDisk device(key, DiskAction::BackupOnly, files);
      device.Arm(CdbPattern::Prefix({WideDrive(key) ? std::uint8_t{0x88} : std::uint8_t{0x28}}),
                 fault.Nth, fault.Kind);

      EXPECT_EQ(0, UpdateDiskFirmware(device.window, device.path));
      EXPECT_TRUE(device.FaultFired());
      EXPECT_EQ(kBackupFailed, device.window.StatusText());
      EXPECT_FALSE(std::filesystem::exists(files.File("backup.bin")));
    }
  }
}

// The drive's own sector count past 2^32: the record is looked for at that count, the first block
// past the drive's end. A compliant drive refuses the read (ILLEGAL REQUEST, LOGICAL BLOCK ADDRESS
// OUT OF RANGE), and the area then takes its default place below the drive's last sector.
constexpr std::uint32_t kLbaOutOfRange = 0x052100;

TEST(DiskAreaLocationSimTest, DriveThatRefusesTheRecordPastItsEndTakesTheDefaultPlace) {
  testing::TempDir files;
  testing::RecordingDialogs dialogs;
  PresetDisk device("qvk924-disk-4k", DiskAction::Programming, files);
  device.EndTheDriveAtItsCount();
  const std::uint64_t count = device.disk->Geometry().IdentifySectors;
  // The default base is the drive's last sector; the area starts on the 256-sector boundary at
  // or below the one before it, less 256.
  const std::uint64_t base = count - 1;
  const std::uint64_t start = ((base - 1) & ~std::uint64_t{255}) - 256;

  DiskAreaFacts facts;
  ASSERT_EQ("", LocateDiskArea(device.path, device.window.state.ChipType, facts));
  EXPECT_EQ(base, facts.AreaBase);

  ASSERT_EQ(1, UpdateDiskFirmware(device.window, device.path));
  EXPECT_EQ("Programming Success!!", device.window.StatusText());
  const std::uint64_t sectorsPerBlock = kBlock / device.disk->BlockSize();
  EXPECT_EQ((std::vector<std::uint64_t>{start, start + sectorsPerBlock}), device.WrittenLbas());
  Bytes expected = testing::PatternBytes(100000, 5);
  expected.resize(2 * kBlock, 0x00);
  const Bytes descriptor = DescriptorBytes(base);
  std::copy(descriptor.begin(), descriptor.end(), expected.begin() + 150);
  Bytes written(2 * kBlock);
  ASSERT_TRUE(device.disk->Read(start, static_cast<std::uint32_t>(2 * sectorsPerBlock), written));
  EXPECT_EQ(expected, written);

  // The next look is refused the same way and finds the same area.
  DiskAreaFacts again;
  ASSERT_EQ("", LocateDiskArea(device.path, device.window.state.ChipType, again));
  EXPECT_EQ(base, again.AreaBase);
}

TEST(DiskAreaLocationSimTest, OnlyTheDrivesOwnPastTheEndRefusalOfTheRecordTakesTheDefault) {
  struct Case {
    const char* Name;
    const char* Preset;
    std::uint32_t Sense;
    int Times;  // record reads refused, from the first
    bool Default;
  };
  const Case cases[] = {
      {"both reads refused past the end", "qvk924-disk-4k", kLbaOutOfRange, 2, true},
      {"only the first read refused", "qvk924-disk-4k", kLbaOutOfRange, 1, false},
      {"invalid field, not the address", "qvk924-disk-4k", 0x052400, 2, false},
      {"medium error", "qvk924-disk-4k", 0x031100, 2, false},
      // On the 10-byte path the record lies inside the drive, behind the capacity the bridge
      // reports; a refusal there is no answer about the record.
      {"10-byte path", "qv40709-disk", kLbaOutOfRange, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    testing::TempDir files;
    PresetDisk device(c.Preset, DiskAction::Programming, files);
    const bool wide = WideDrive(c.Preset);
    device.ArmRefusal(CdbPattern::Prefix({wide ? std::uint8_t{0x88} : std::uint8_t{0x28}}), 1,
                      c.Times, c.Sense);

    DiskAreaFacts facts;
    const std::string_view refusal =
        LocateDiskArea(device.path, device.window.state.ChipType, facts);

    if (c.Default) {
      EXPECT_EQ("", refusal);
      EXPECT_EQ(device.disk->Geometry().IdentifySectors - 1, facts.AreaBase);
    } else {
      EXPECT_EQ(kUnreadable, refusal);
    }
    EXPECT_TRUE(device.WrittenLbas().empty());
  }
}

}  // namespace
}  // namespace q71x
