// SPDX-License-Identifier: GPL-2.0-or-later
// The parallel-flash procedures against a simulated bridge with a 64 KB NOR part on its board:
// the part obeys only sequences sent to its own unlock addresses, so what the flash holds
// afterwards shows whether the operator's choice reached it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "sim/parallel_nor_part.h"
#include "sim/simulated_system.h"
#include "src/catalog/parallel_part_table.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/update/parallel/parallel_flash_update.h"
#include "src/update/update_procedure.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/update/disk_and_parallel_test_files.h"
#include "tests/update/expected_texts.h"

namespace q71x {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::kPowerCycle;
using testing::PatternBytes;

Bytes Flash(std::span<const std::uint8_t> contents) {
  return Bytes(contents.begin(), contents.end());
}

class ParallelFlashSimTest : public ::testing::Test {
 public:
  // A bridge with part `boardPart` of the flash-type list on its board, holding `old`.
  void Attach(std::size_t boardPart, const Bytes& old, bool alwaysRunsFromRom = false) {
    sim::Enclosure enclosure;
    enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk,
                                            "parallel" + std::to_string(++attached));
    enclosure.Bridge.Parallel.emplace(sim::kParallelNorParts[boardPart]);
    enclosure.Bridge.Parallel->AlwaysRunsFromRom = alwaysRunsFromRom;
    enclosure.Bridge.Parallel->Flash.Preload(0, old);
    sim::Enclosure& added = system.AddEnclosure(std::move(enclosure));
    path = added.Path;
    wiring = &*added.Bridge.Parallel;
  }
  Bytes Contents() const { return Flash(wiring->Flash.Contents()); }
  std::size_t Sent(std::initializer_list<std::uint8_t> prefix) {
    return system.Log().Count(sim::CdbPattern::Prefix(prefix));
  }
  void Fault(std::initializer_list<std::uint8_t> prefix, int nth, sim::FaultKind kind,
             int times = 1) {
    sim::FaultRule rule;
    rule.Pattern = sim::CdbPattern::Prefix(prefix);
    rule.Nth = nth;
    rule.Times = times;
    rule.Kind = kind;
    rule.Value = 3;
    system.Faults().Arm(rule);
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  testing::RecordingWindow window;
  testing::RecordingDialogs dialogs;
  testing::TempDir files;
  std::string path;
  sim::ParallelFlashWiring* wiring = nullptr;
  int attached = 0;
};

TEST_F(ParallelFlashSimTest, OnlyTheChosenPartsUnlockAddressesReachTheFlash) {
  const Bytes old = PatternBytes(kParallelFlashSize, 3);
  const Bytes image = PatternBytes(kParallelFlashSize, 8);
  window.firmwareFile = files.Write("image.bin", image);
  // A part obeys the sequences of every list item whose unlock addresses are its own (some
  // parts share them); an item past the list chooses no part and sends zeros.
  const auto sameUnlock = [](std::size_t board, int chosen) {
    const ParallelPartRow* row = ParallelPartOfItem(chosen);
    const sim::ParallelNorPart& part = sim::kParallelNorParts[board];
    return row != nullptr && row->FirstUnlock == part.FirstUnlock &&
           row->SecondUnlock == part.SecondUnlock;
  };
  for (std::size_t board = 0; board < sim::kParallelNorParts.size(); ++board) {
    for (int chosen = 0; chosen <= kParallelPartCount; ++chosen) {
      SCOPED_TRACE(::testing::Message() << "board " << board << ", chosen " << chosen);
      Attach(board, old);
      const int result = UpdateParallelFlash(window, path, chosen);
      if (sameUnlock(board, chosen)) {
        EXPECT_EQ(1, result);
        EXPECT_EQ(image, Contents());
        EXPECT_EQ("Programming & Compare Success!!", window.StatusText());
      } else {
        // The erase never happened, so the blank check stops the update.
        EXPECT_EQ(0, result);
        EXPECT_EQ(old, Contents());
        EXPECT_EQ("Not Erase correctly!", window.StatusText());
      }
    }
  }
}

TEST_F(ParallelFlashSimTest, WrongPartOnABlankFlashFailsTheCompare) {
  const Bytes image = PatternBytes(kParallelFlashSize, 8);
  window.firmwareFile = files.Write("image.bin", image);
  Attach(0, Bytes(kParallelFlashSize, 0xFF));

  EXPECT_EQ(0, UpdateParallelFlash(window, path, 1));
  EXPECT_EQ("Compare Fail!!", window.StatusText());
  EXPECT_EQ(Bytes(kParallelFlashSize, 0xFF), Contents());
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST_F(ParallelFlashSimTest, OneByteImageFillsThePartWithZerosAfterIt) {
  window.firmwareFile = files.Write("one.bin", {0xC3});
  Attach(2, PatternBytes(kParallelFlashSize, 5));

  EXPECT_EQ(1, UpdateParallelFlash(window, path, 2));
  Bytes expected(kParallelFlashSize, 0x00);
  expected[0] = 0xC3;
  EXPECT_EQ(expected, Contents());
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, dialogs.BoxTexts());
}

TEST_F(ParallelFlashSimTest, A1ChipIsUpdatedWithoutTheSwitchItWouldRefuse) {
  const Bytes old = PatternBytes(kParallelFlashSize, 1);
  const Bytes image = PatternBytes(20000, 2);
  window.firmwareFile = files.Write("image.bin", image);

  Attach(0, old, /*alwaysRunsFromRom=*/true);
  EXPECT_EQ(0, UpdateParallelFlash(window, path, 0));
  EXPECT_EQ("Can't switch to internal ROM", window.StatusText());
  EXPECT_EQ(old, Contents());

  window.a1Chip = true;
  system.Log().Clear();
  EXPECT_EQ(1, UpdateParallelFlash(window, path, 0));
  Bytes expected(kParallelFlashSize, 0x00);
  std::copy(image.begin(), image.end(), expected.begin());
  EXPECT_EQ(expected, Contents());
  EXPECT_EQ(0u, Sent({0xFF, 0x04, 0x05}));
}

TEST_F(ParallelFlashSimTest, BridgeThatNeverAnswersIdleStillProgramsAndCompares) {
  const Bytes image = PatternBytes(kParallelFlashSize, 4);
  window.firmwareFile = files.Write("image.bin", image);
  Attach(1, PatternBytes(kParallelFlashSize, 6));
  Fault({0xFF, 0x04, 0x00}, 1, sim::FaultKind::Fail, /*times=*/0);

  EXPECT_EQ(1, UpdateParallelFlash(window, path, 1));
  EXPECT_EQ(image, Contents());
  EXPECT_EQ((std::vector<std::string>{"Erase command ok,status fail!!", "Programming Success!!",
                                      "Programming & Compare Success!!"}),
            window.statusHistory);
  EXPECT_EQ(3u * 50000u, Sent({0xFF, 0x04, 0x00}));
}

TEST_F(ParallelFlashSimTest, PartThatHangsIsNeverReportedProgrammed) {
  window.firmwareFile = files.Write("image.bin", PatternBytes(kParallelFlashSize, 4));
  Attach(0, PatternBytes(kParallelFlashSize, 6));
  wiring->StuckBusy = true;

  EXPECT_EQ(0, UpdateParallelFlash(window, path, 0));
  EXPECT_EQ("Programming Fail!!", window.StatusText());
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST_F(ParallelFlashSimTest, EraseOnlyLeavesABlankPart) {
  Attach(2, PatternBytes(kParallelFlashSize, 6));
  window.TickFor(EngineeringAction::EraseOnly);

  EXPECT_EQ(1, UpdateParallelFlash(window, path, 2));
  EXPECT_EQ(Bytes(kParallelFlashSize, 0xFF), Contents());
  EXPECT_EQ(
      (std::vector<std::string>{"Start Erase only!", "Erase command ok!!", "Erase All success!!"}),
      window.statusHistory);
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, dialogs.BoxTexts());
}

TEST_F(ParallelFlashSimTest, BackupOnlyWritesTheWholePartWhateverTheFirmwareSize) {
  const Bytes old = PatternBytes(kParallelFlashSize, 7);
  Attach(1, old);
  window.TickFor(EngineeringAction::BackupOnly);
  window.settings.FirmwareSize = 1048576;
  window.backupFile = files.File("part.bak");

  EXPECT_EQ(1, UpdateParallelFlash(window, path, 1));
  EXPECT_EQ(old, testing::ReadFileBytes(window.backupFile));
  EXPECT_EQ(old, Contents());
}

TEST_F(ParallelFlashSimTest, BackupReadThatIsNotProvenLeavesNoFile) {
  const Bytes old = PatternBytes(kParallelFlashSize, 7);
  window.TickFor(EngineeringAction::BackupOnly);
  // A short answer arrives with zeros past the bytes that moved; garbage replaces them all.
  for (const int nth : {1, 2}) {
    for (const sim::FaultKind kind : {sim::FaultKind::Short, sim::FaultKind::Garbage}) {
      SCOPED_TRACE(::testing::Message() << "read " << nth << ", fault " << static_cast<int>(kind));
      testing::RecordingDialogs boxes;
      Attach(2, old);
      window.backupFile = files.File("part.bak");
      std::filesystem::remove(window.backupFile);
      Fault({0xFF, 0x04, 0x03}, nth, kind);

      EXPECT_EQ(0, UpdateParallelFlash(window, path, 2));
      EXPECT_EQ("Read ROM fail!!", window.StatusText());
      EXPECT_FALSE(std::filesystem::exists(window.backupFile));
      EXPECT_EQ(old, Contents());
      EXPECT_TRUE(boxes.Boxes().empty());
    }
  }
}

// Ticks left from an engineering session whose panel is hidden again: Run updates.
TEST_F(ParallelFlashSimTest, ActionTicksWithoutRdVersionLeaveRunAnUpdate) {
  const Bytes image = PatternBytes(kParallelFlashSize, 9);
  for (const EngineeringAction action :
       {EngineeringAction::EraseOnly, EngineeringAction::BackupOnly}) {
    SCOPED_TRACE(EngineeringActionName(action));
    Attach(0, PatternBytes(kParallelFlashSize, 6));
    window.firmwareFile = files.Write("image.bin", image);
    window.backupFile = files.File("left.bak");
    window.TickFor(action);
    window.rdVersion = false;

    EXPECT_EQ(1, UpdateParallelFlash(window, path, 0));
    EXPECT_EQ(image, Contents());
    EXPECT_FALSE(std::filesystem::exists(window.backupFile));
  }
}

// A failure injected into one command, and what the operator and the flash are left with.
struct SimFailureRow {
  const char* name;
  bool eraseOnly;
  std::uint8_t operation;  // FF 04 <operation>
  int nth;
  sim::FaultKind kind;
  int result;
  const char* status;
  bool powerCycleBox;
  // OldAndImage: programmed over the old contents without an erase; NOR only clears bits.
  enum class Left { Old, Blank, Image, OldAndImage } flash;
  int times = 1;          // matching commands that fail; 0: all of them
  int failingBuffer = 0;  // the n-th work buffer cannot be had; 0: none
};

class ParallelSimFailureTest : public ParallelFlashSimTest,
                               public ::testing::WithParamInterface<SimFailureRow> {};

TEST_P(ParallelSimFailureTest, EndsAsTheTableSaysAndLeavesTheFlashSo) {
  const SimFailureRow& row = GetParam();
  const Bytes old = PatternBytes(kParallelFlashSize, 6);
  const Bytes image = PatternBytes(kParallelFlashSize, 9);
  window.firmwareFile = files.Write("image.bin", image);
  window.TickFor(row.eraseOnly ? EngineeringAction::EraseOnly : EngineeringAction::Update);
  Attach(0, old);
  Fault({0xFF, 0x04, row.operation}, row.nth, row.kind, row.times);
  testing::FailNthWorkBuffer failure(row.failingBuffer);

  EXPECT_EQ(row.result, UpdateParallelFlash(window, path, 0));
  EXPECT_EQ(row.status, window.StatusText());
  EXPECT_EQ(row.powerCycleBox ? 1u : 0u, dialogs.Boxes().size());
  switch (row.flash) {
    case SimFailureRow::Left::Old:
      EXPECT_EQ(old, Contents());
      break;
    case SimFailureRow::Left::Blank:
      EXPECT_EQ(Bytes(kParallelFlashSize, 0xFF), Contents());
      break;
    case SimFailureRow::Left::Image:
      EXPECT_EQ(image, Contents());
      break;
    case SimFailureRow::Left::OldAndImage: {
      Bytes both(kParallelFlashSize);
      std::transform(old.begin(), old.end(), image.begin(), both.begin(),
                     [](std::uint8_t a, std::uint8_t b) { return a & b; });
      EXPECT_EQ(both, Contents());
      break;
    }
  }
}

using Left = SimFailureRow::Left;
INSTANTIATE_TEST_SUITE_P(
    Rows, ParallelSimFailureTest,
    ::testing::Values(SimFailureRow{"SwitchRefused", false, 0x05, 1, sim::FaultKind::Fail, 0,
                                    "Can't switch to internal ROM", false, Left::Old},
                      SimFailureRow{"EraseNotLoaded", false, 0x04, 1, sim::FaultKind::Fail, 0,
                                    "Error pre-erase command!!", false, Left::Old},
                      SimFailureRow{"ProgramRefused", false, 0x02, 1, sim::FaultKind::Fail, 0,
                                    "Programming Fail!!", false, Left::Blank},
                      SimFailureRow{"ReadBackRefused", false, 0x03, 2, sim::FaultKind::Fail, 0,
                                    "Read Fail!!", false, Left::Image},
                      SimFailureRow{"ReadBackGarbled", false, 0x03, 2, sim::FaultKind::Garbage, 0,
                                    "Compare Fail!!", false, Left::Image},
                      SimFailureRow{"EraseOnlyStartRefused", true, 0x01, 1, sim::FaultKind::Fail, 1,
                                    "Start Erase only!", true, Left::Old},
                      SimFailureRow{"EraseOnlyReadBackRefused", true, 0x03, 1,
                                    sim::FaultKind::Timeout, 1, "Read Back after Erase fail!!",
                                    true, Left::Blank},
                      SimFailureRow{"EraseOnlyNotLoaded", true, 0x04, 1, sim::FaultKind::Fail, 0,
                                    "Error pre-erase command!!", false, Left::Old},
                      // The erase is not a gate for the update: these let programming go ahead, and
                      // the compare decides. A flash that was never erased cannot take the image.
                      SimFailureRow{"StartRefused", false, 0x01, 1, sim::FaultKind::Fail, 0,
                                    "Compare Fail!!", false, Left::OldAndImage},
                      SimFailureRow{"BlankCheckReadRefused", false, 0x03, 1, sim::FaultKind::Fail,
                                    1, "Programming & Compare Success!!", true, Left::Image},
                      // Only a flash proven not blank stops it.
                      SimFailureRow{"BlankCheckGarbled", false, 0x03, 1, sim::FaultKind::Garbage, 0,
                                    "Not Erase correctly!", false, Left::Blank},
                      SimFailureRow{"EraseOnlyNeverIdle", true, 0x00, 1, sim::FaultKind::Fail, 1,
                                    "Erase command ok,status fail!!", true, Left::Blank, 0},
                      SimFailureRow{"EraseOnlyNotBlank", true, 0x03, 1, sim::FaultKind::Garbage, 0,
                                    "Not Erase correctly!", false, Left::Blank},
                      SimFailureRow{"EraseOnlyBufferNotHad", true, 0x03, 1, sim::FaultKind::Fail, 0,
                                    "Allocate read buffer Error!!", false, Left::Blank, 1, 1}),
    [](const ::testing::TestParamInfo<SimFailureRow>& info) { return info.param.name; });

}  // namespace
}  // namespace q71x
