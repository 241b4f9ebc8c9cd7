// SPDX-License-Identifier: GPL-2.0-or-later
// The DF family's and the 1394 family's kept configuration area in the recovery journal, end to
// end over simulated flash: an enclosure pulled after the erase leaves the area in the journal,
// and it is put back from there once the enclosure is plugged in again; a run that ends with the
// area in place leaves no entry behind.

#include <gtest/gtest.h>

#include <functional>

#include "src/update/df/df2_flash_update.h"
#include "src/update/df/df_flash_update.h"
#include "src/update/journal/journal_area_restore.h"
#include "src/update/journal/kept_area_journal.h"
#include "tests/update/df_sim_rig.h"
#include "tests/update/journal_expectations.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;

struct DfJournalCase {
  const char* Name;
  DfDeviceSpec Device;
  bool WithImage;  // an update; otherwise the erase-only action
  const char* ProcedureName;
  // Arms the pull: the enclosure goes away after the erase has reached the area.
  std::function<void(DfSimRig&)> Pull;
  // Arms a stop after the erase that leaves the enclosure plugged in.
  std::function<void(DfSimRig&)> Stop;
};

std::function<void(DfSimRig&)> Fault(std::uint8_t code, int nth, FaultKind kind,
                                     std::uint32_t value = 0) {
  return [=](DfSimRig& rig) { rig.ArmDfFault(code, nth, kind, 1, value); };
}

int RunCase(const DfJournalCase& c, DfSimRig& rig) {
  if (c.WithImage) {
    return ProgramDfFlash(rig.window, rig.path);
  }
  // The erase-only action through the entry point, which sets the family's page size.
  rig.window.rdVersion = true;
  rig.window.eraseOnly = true;
  return c.Device.On1394 ? UpdateDf2Flash(rig.window, rig.path)
                         : UpdateDfFlash(rig.window, rig.path);
}

std::vector<DfJournalCase> Cases() {
  // The area is read twice before anything is erased, in one block a copy on the DF family and
  // four on the 1394 family, the second copy starting with half a block (one read more); the
  // blank check's first read follows.
  const auto pullAtBlankCheck = [](int readsPerCopy) {
    return Fault(kDfFlashRead, 2 * readsPerCopy + 2, FaultKind::Unplug);
  };
  // The first block carries the erase mark and the kept area; it arrives cut short.
  const auto firstBlockShort = Fault(kDfFlashWrite, 1, FaultKind::Short, 16);
  return {
      // ... and the enclosure goes with the next one. Stopped without a pull, the next attempt
      // programs the area again.
      {"DF update", Df848Winbond(), true, "UpdateDfFlash",
       [firstBlockShort](DfSimRig& rig) {
         firstBlockShort(rig);
         rig.ArmDfFault(kDfFlashWrite, 2, FaultKind::Unplug);
       },
       firstBlockShort},
      // Stopped by a refused write-back, the restore puts the area back.
      {"DF erase only", Df848Mxic(), false, "UpdateDfFlash", pullAtBlankCheck(1),
       Fault(kDfFlashWrite, 2, FaultKind::Fail)},
      {"1394 erase only", Qvk846On1394(), false, "UpdateDf2Flash", pullAtBlankCheck(4),
       Fault(kDfFlashWrite, 4, FaultKind::Short, 100)},
  };
}

JournalDevice DeviceOf(const DfSimRig& rig) {
  return JournalTestDevice(rig.window.state.ChipType, rig.window.state.ChipRevision, "05ffff",
                           "2.10", rig.path);
}

TEST(DfKeptAreaJournal, APulledEnclosureIsRecoveredFromTheJournal) {
  for (const DfJournalCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    DfSimRig rig(c.Device);
    const std::vector<std::uint8_t> image =
        c.WithImage ? rig.WriteImage(65536) : std::vector<std::uint8_t>();
    RecoveryJournal journal(rig.dir.path() / "journal");
    ScopedJournalRun run(journal, DeviceOf(rig));
    c.Pull(rig);

    RunCase(c, rig);

    ASSERT_EQ(nullptr, rig.system.FindPlugged(rig.path)) << "the enclosure was not pulled";
    ASSERT_TRUE(rig.system.Plug(rig.path));
    rig.system.Faults().Clear();
    ASSERT_NE(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes))
        << "the pull took the area";
    const std::optional<JournalEntry> open =
        OneOpenEntry(journal, DeviceOf(rig),
                     {c.ProcedureName, rig.config, c.Device.ConfigOffset,
                      c.WithImage ? Sha256Of(image.data(), image.size()) : Sha256Digest{}});
    ASSERT_TRUE(open);

    const auto restore = [&rig](const JournalEntry& entry) {
      return RestoreJournalArea(rig.window, rig.path, entry);
    };
    EXPECT_EQ(1, RestoreFromJournal(journal, *open, restore));
    EXPECT_EQ(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes));
    EXPECT_TRUE(journal.List().Open.empty());
  }
}

TEST(DfKeptAreaJournal, RunsThatEndWithTheAreaInPlaceLeaveNoEntry) {
  for (const DfJournalCase& c : Cases()) {
    for (const bool faulted : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.Name << (faulted ? ", stopped after the erase" : ""));
      DfSimRig rig(c.Device);
      if (c.WithImage) {
        rig.WriteImage(65536);
      }
      RecoveryJournal journal(rig.dir.path() / "journal");
      ScopedJournalRun run(journal, DeviceOf(rig));
      if (faulted) {
        c.Stop(rig);
      }

      RunCase(c, rig);

      rig.system.Faults().Clear();
      EXPECT_EQ(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes));
      ExpectJournalClean(journal);
    }
  }
}

// The area a journal entry keeps goes back only to the place its procedure keeps it: an entry
// naming another place or size is refused, and nothing is written.
TEST(DfKeptAreaJournal, AnEntryForAnotherPlaceIsNotWritten) {
  DfSimRig rig(Df848Winbond());
  JournalEntry entry;
  entry.Procedure = "UpdateDfFlash";
  entry.AreaAddress = 0x8000;
  entry.Area = rig.config;
  rig.system.Log().Clear();

  EXPECT_EQ(0, RestoreJournalArea(rig.window, rig.path, entry));
  entry.AreaAddress = 0;
  entry.Area.resize(1024);
  EXPECT_EQ(0, RestoreJournalArea(rig.window, rig.path, entry));
  entry.Procedure = "UpdateParallelFlash";
  EXPECT_EQ(0, RestoreJournalArea(rig.window, rig.path, entry));

  EXPECT_TRUE(rig.DfCommands(kDfFlashWrite).empty());
}

// An area the device lost to a blank can be programmed back as it is: the 1394 bridge's erase flag
// would take the whole 32 KB half under it, firmware and all.
TEST(DfKeptAreaJournal, ABlankAreaGoesBackWithoutAnEraseOfItsUnit) {
  const DfDeviceSpec spec = Qvk846On1394();
  DfSimRig rig(spec);
  rig.system.Find(rig.path)->Bridge.Flash->Load(spec.ConfigOffset,
                                                std::vector<std::uint8_t>(spec.ConfigBytes, 0xFF));
  const std::vector<std::uint8_t> before = rig.Flash();
  JournalEntry entry;
  entry.Procedure = "UpdateDf2Flash";
  entry.AreaAddress = spec.ConfigOffset;
  entry.EraseAddress = spec.ConfigOffset;
  entry.Area = rig.config;

  EXPECT_EQ(1, RestoreJournalArea(rig.window, rig.path, entry));

  std::vector<std::uint8_t> expected = before;
  std::copy(rig.config.begin(), rig.config.end(), expected.begin() + spec.ConfigOffset);
  EXPECT_EQ(expected, rig.Flash());
}

}  // namespace
}  // namespace q71x::testing
