// SPDX-License-Identifier: GPL-2.0-or-later
// The simulator executable's state folder: an enclosure's memories go to plain files and come
// back into a freshly built machine, so an update survives a restart.

#include <QSignalSpy>

#include <chrono>
#include <fstream>
#include <iterator>

#include "sim/attached_disk.h"
#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "sim/serial_flash.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/host/unit_lock.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/gui/gui_support.h"
#include "tests/support/file_bytes.h"

namespace q71x::testing {
namespace {

constexpr const char* kAtmelKey = "qv40714-atmel";

class SimStateFolderTest : public ::testing::Test {
 protected:
  TempFolder folder;
  SimStateFolder state{folder.Path() / "state"};

  static sim::Enclosure& Only(sim::SimulatedSystem& system) { return *system.Enclosures().front(); }
};

TEST_F(SimStateFolderTest, MemoriesGoToPlainFilesAndComeBack) {
  sim::SimulatedSystem before;
  sim::AddPreset(before, kAtmelKey);
  sim::Enclosure& original = Only(before);
  const std::vector<std::uint8_t> marks = {0x12, 0x34, 0x56};
  original.Bridge.Flash->Load(0x100, marks);
  original.Bridge.ControllerMemory[0x506A] = 0x01;
  ASSERT_TRUE(state.Save(before).empty());

  const std::filesystem::path enclosureFolder = state.EnclosureFolder(original.Path);
  EXPECT_EQ(ReadFileBytes(enclosureFolder / kFlashFileName), original.Bridge.Flash->Contents());
  EXPECT_EQ(ReadFileBytes(enclosureFolder / kControllerMemoryFileName),
            original.Bridge.ControllerMemory);

  sim::SimulatedSystem after;
  sim::AddPreset(after, kAtmelKey);
  ASSERT_NE(Only(after).Bridge.Flash->Contents(), original.Bridge.Flash->Contents());
  EXPECT_TRUE(state.Restore(after).empty());
  EXPECT_EQ(Only(after).Bridge.Flash->Contents(), original.Bridge.Flash->Contents());
  EXPECT_EQ(Only(after).Bridge.ControllerMemory, original.Bridge.ControllerMemory);
}

TEST_F(SimStateFolderTest, AFileThatDoesNotFitIsLeftOutAndNamed) {
  sim::SimulatedSystem system;
  sim::AddPreset(system, kAtmelKey);
  const std::vector<std::uint8_t> preset = Only(system).Bridge.Flash->Contents();
  const std::filesystem::path enclosureFolder = state.EnclosureFolder(Only(system).Path);
  std::filesystem::create_directories(enclosureFolder);
  std::ofstream(enclosureFolder / kFlashFileName, std::ios::binary) << "short";

  const std::vector<std::string> ignored = state.Restore(system);
  ASSERT_EQ(ignored.size(), 1u);
  EXPECT_NE(ignored[0].find(kFlashFileName), std::string::npos);
  EXPECT_EQ(Only(system).Bridge.Flash->Contents(), preset);
}

TEST_F(SimStateFolderTest, TheDiskAreaBehindTheReportedCapacityIsKept) {
  sim::SimulatedSystem before;
  ASSERT_NE(sim::AddHardwarePreset(before, "qv40709-disk"), nullptr);
  sim::AttachedDisk& disk = *Only(before).Bridge.Disk;
  const std::uint64_t hidden = disk.Geometry().ReportedSectors + 7;
  std::vector<std::uint8_t> sector(disk.BlockSize(), 0xA5);
  ASSERT_TRUE(disk.Write(hidden, 1, sector));
  ASSERT_TRUE(state.Save(before).empty());

  sim::SimulatedSystem after;
  sim::AddHardwarePreset(after, "qv40709-disk");
  EXPECT_TRUE(state.Restore(after).empty());
  std::vector<std::uint8_t> back(disk.BlockSize(), 0);
  ASSERT_TRUE(Only(after).Bridge.Disk->Read(hidden, 1, back));
  EXPECT_EQ(back, sector);
}

// A run that changes one memory rewrites that file only; the change, on a restored machine and on
// the disk area read back sector by sector, is what the next start sees.
TEST_F(SimStateFolderTest, AfterARestoreOnlyWhatChangedIsWrittenAndComesBack) {
  const char* key = "qv40709-disk";
  sim::SimulatedSystem first;
  ASSERT_NE(sim::AddHardwarePreset(first, key), nullptr);
  sim::AttachedDisk& firstDisk = *Only(first).Bridge.Disk;
  const std::uint64_t hidden = firstDisk.Geometry().ReportedSectors + 3;
  ASSERT_TRUE(firstDisk.Write(hidden, 1, std::vector<std::uint8_t>(firstDisk.BlockSize(), 0x5A)));
  ASSERT_TRUE(state.Save(first).empty());

  SimStateFolder restarted{state.Root()};
  sim::SimulatedSystem second;
  sim::AddHardwarePreset(second, key);
  ASSERT_TRUE(restarted.Restore(second).empty());
  const std::filesystem::path enclosureFolder = state.EnclosureFolder(Only(second).Path);
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
  for (const char* name : {kControllerMemoryFileName, kDiskAreaFileName}) {
    std::filesystem::last_write_time(enclosureFolder / name, old);
  }
  ASSERT_TRUE(restarted.Save(second).empty());
  EXPECT_EQ(std::filesystem::last_write_time(enclosureFolder / kDiskAreaFileName), old);

  const std::vector<std::uint8_t> changed(firstDisk.BlockSize(), 0xC3);
  ASSERT_TRUE(Only(second).Bridge.Disk->Write(hidden + 1, 1, changed));
  ASSERT_TRUE(restarted.Save(second).empty());
  EXPECT_NE(std::filesystem::last_write_time(enclosureFolder / kDiskAreaFileName), old);
  EXPECT_EQ(std::filesystem::last_write_time(enclosureFolder / kControllerMemoryFileName), old);

  sim::SimulatedSystem third;
  sim::AddHardwarePreset(third, key);
  ASSERT_TRUE(SimStateFolder(state.Root()).Restore(third).empty());
  std::vector<std::uint8_t> back(firstDisk.BlockSize(), 0);
  ASSERT_TRUE(Only(third).Bridge.Disk->Read(hidden, 1, back));
  EXPECT_EQ(back, std::vector<std::uint8_t>(firstDisk.BlockSize(), 0x5A));
  ASSERT_TRUE(Only(third).Bridge.Disk->Read(hidden + 1, 1, back));
  EXPECT_EQ(back, changed);
}

TEST_F(SimStateFolderTest, AnUpdateThroughTheWindowSurvivesARestart) {
  EnsureQtApplication();
  const std::string image = folder.Image("qv40714.bin", 1, 1);
  std::vector<std::uint8_t> flashAfterRun;
  {
    sim::SimulatedSystem system;
    sim::AddPreset(system, kAtmelKey);
    SimPlatform platform(system);
    ScopedActivePlatform usePlatform(platform);
    RecordingDialogs dialogs;
    TQ71xFwTool window(std::make_unique<FakeWindowTimers>());
    QSignalSpy finished(&window, &TQ71xFwTool::ProcedureFinished);
    QObject::connect(&window, &TQ71xFwTool::ProcedureFinished,
                     [&] { EXPECT_TRUE(state.Save(system).empty()); });
    dialogs.QueueOpenFileAnswer(image);
    QTest::mouseClick(Child<QPushButton>(window, "LoadBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(window, "UpdateBtn"), Qt::LeftButton);
    ASSERT_EQ(Child<TLabeledEdit>(window, "StatusEdit")->text(),
              QStringLiteral("Programming Success!!"));
    EXPECT_EQ(finished.count(), 1);
    flashAfterRun = Only(system).Bridge.Flash->Contents();
  }

  sim::SimulatedSystem restarted;
  sim::AddPreset(restarted, kAtmelKey);
  EXPECT_TRUE(state.Restore(restarted).empty());
  const std::vector<std::uint8_t> written = ReadFileBytes(image);
  const auto& flash = Only(restarted).Bridge.Flash->Contents();
  EXPECT_EQ(flash, flashAfterRun);
  EXPECT_TRUE(std::equal(written.begin(), written.end(), flash.begin()));
}

// Two simulator sessions on one folder: the second saves a change of the kept configuration area
// while the first is open; the first's update then starts from it and keeps it, and the second,
// now behind, cannot write its older memory over the first's newer save.
TEST_F(SimStateFolderTest, TwoSessionsOnOneFolderLoseNeitherSave) {
  EnsureQtApplication();
  const sim::SerialFlashPreset& preset = *sim::FindSerialFlashPreset(kAtmelKey);
  SimStateFolder firstState{state.Root()};
  SimStateFolder secondState{state.Root()};
  sim::SimulatedSystem first;
  sim::SimulatedSystem second;
  sim::AddPreset(first, kAtmelKey);
  sim::AddPreset(second, kAtmelKey);
  ASSERT_TRUE(firstState.Restore(first).empty());
  ASSERT_TRUE(secondState.Restore(second).empty());

  const std::vector<std::uint8_t> mark = {0xC0, 0xFF, 0xEE, 0x42};
  const std::uint32_t markAt = preset.ConfigOffset + preset.ConfigBytes - 16;
  Only(second).Bridge.Flash->Load(markAt, mark);
  ASSERT_TRUE(secondState.Save(second).empty());

  const std::string image = folder.Image("qv40714.bin", 1, 1);
  {
    SimPlatform platform(first);
    ScopedActivePlatform usePlatform(platform);
    const ScopedUnitLockFolder locks(state.Root() / "locks");
    RecordingDialogs dialogs;
    TQ71xFwTool window(std::make_unique<FakeWindowTimers>());
    window.Core().SetClaimListener(
        [&](const std::string& path) { EXPECT_TRUE(firstState.CatchUp(first, path).empty()); });
    window.Core().SetLetGoListener([&] { EXPECT_TRUE(firstState.Save(first).empty()); });
    dialogs.QueueOpenFileAnswer(image);
    QTest::mouseClick(Child<QPushButton>(window, "LoadBtn"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(window, "UpdateBtn"), Qt::LeftButton);
    ASSERT_EQ(Child<TLabeledEdit>(window, "StatusEdit")->text(),
              QStringLiteral("Programming Success!!"));
  }
  EXPECT_TRUE(firstState.Save(first).empty()) << "the first session's exit";

  const std::filesystem::path flashFile = state.EnclosureFolder(Only(first).Path) / kFlashFileName;
  const std::vector<std::uint8_t> saved = ReadFileBytes(flashFile);
  const std::vector<std::uint8_t> written = ReadFileBytes(image);
  ASSERT_EQ(saved.size(), Only(first).Bridge.Flash->Contents().size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), saved.begin())) << "the update is kept";
  EXPECT_TRUE(std::equal(mark.begin(), mark.end(), saved.begin() + markAt))
      << "the second session's save is kept";

  Only(second).Bridge.Flash->Load(markAt, std::vector<std::uint8_t>(mark.size(), 0x00));
  const std::vector<std::string> refused = secondState.Save(second);
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find(kFlashFileName), std::string::npos) << refused[0];
  EXPECT_EQ(ReadFileBytes(flashFile), saved);
}

}  // namespace
}  // namespace q71x::testing
