// SPDX-License-Identifier: GPL-2.0-or-later
// The serial-flash procedures' kept configuration area in the recovery journal, end to end over
// simulated flash: an enclosure pulled after the erase leaves the area in the journal, and it is
// put back from there once the enclosure is plugged in again; a run that ends with the area in
// place leaves no entry behind.

#include "src/update/journal/kept_area_journal.h"

#include <gtest/gtest.h>

#include "src/update/flash_write_access.h"
#include "src/update/journal/kept_area_restore.h"
#include "src/update/serial/nvram_flash_update.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/support/debug_lines.h"
#include "tests/update/journal_expectations.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;
using Procedure = int (*)(ToolWindow&, const std::string&);

constexpr std::uint8_t kRead = 0x10;
constexpr std::uint8_t kSectorErase = 0x14;

struct JournalCase {
  const char* Name;
  SerialDevice Device;
  Procedure Run;
  const char* ProcedureName;
  std::size_t ImageSize;
  // The enclosure is pulled out at the nth command of this kind, after the area's erase.
  std::uint8_t PulledAt;
  int Nth;
};

const JournalCase kCases[] = {
    // The first erase takes the area at 0; the second is where the enclosure goes.
    {"NVRAM update", Qvk842Eon(), UpdateFlashWithNvram, "UpdateFlashWithNvram", 40 * 1024,
     kSectorErase, 2},
    // The erase at 0 reaches the copy at 0x8000 on this part; the copy is read twice before it
    // (the second time in two pieces), and the blank check is the fourth read.
    {"serial update", Qv40713Mxic32(), UpdateSerialFlash, "UpdateSerialFlash", 32768, kRead, 4},
};

JournalDevice DeviceOf(const SerialFlashRig& rig) {
  return JournalTestDevice(rig.window.state.ChipType, rig.window.state.ChipRevision, "1c3110",
                           "1.00", rig.path);
}

int RestoreOnSerialFlash(const std::string& path, const JournalEntry& entry) {
  return RestoreKeptArea(path, KeptArea{entry.AreaAddress, entry.EraseAddress, entry.Area.data(),
                                        static_cast<std::uint32_t>(entry.Area.size())});
}

TEST(KeptAreaJournal, APulledEnclosureIsRecoveredFromTheJournal) {
  for (const JournalCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    SerialFlashRig rig(c.Device);
    const std::vector<std::uint8_t> image = rig.WriteImage(c.ImageSize);
    RecoveryJournal journal(rig.dir.path() / "journal");
    ScopedJournalRun run(journal, DeviceOf(rig));
    rig.ArmFault({0xFF, 0x04, c.PulledAt}, c.Nth, FaultKind::Unplug);
    ::testing::internal::CaptureStdout();

    c.Run(rig.window, rig.path);

    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(rig.system.Plug(rig.path));
    rig.system.Faults().Clear();
    ASSERT_NE(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes))
        << "the pull took the area";
    const std::optional<JournalEntry> open = OneOpenEntry(
        journal, DeviceOf(rig),
        {c.ProcedureName, rig.config, c.Device.ConfigOffset, Sha256Of(image.data(), image.size())});
    ASSERT_TRUE(open);

    // What the front end does first: the chip check, then the flash opened for writing.
    rig.SettleFlashFacts();
    const auto restore = [&rig](const JournalEntry& entry) {
      return OpenFlashForWrite(rig.window, rig.path, StatusStyle::Post) == 1 &&
                     RestoreOnSerialFlash(rig.path, entry) == 1
                 ? 1
                 : 0;
    };
    EXPECT_EQ(1, RestoreFromJournal(journal, *open, restore));
    EXPECT_EQ(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes));
    EXPECT_TRUE(journal.List().Open.empty());
  }
}

TEST(KeptAreaJournal, RunsThatEndWithTheAreaInPlaceLeaveNoEntry) {
  for (const JournalCase& c : kCases) {
    for (const bool faulted : {false, true}) {
      SCOPED_TRACE(::testing::Message() << c.Name << (faulted ? ", refused erase" : ""));
      SerialFlashRig rig(c.Device);
      rig.WriteImage(c.ImageSize);
      RecoveryJournal journal(rig.dir.path() / "journal");
      ScopedJournalRun run(journal, DeviceOf(rig));
      if (faulted) {
        // A stop after the area's erase, which the restore repairs.
        rig.ArmFault({0xFF, 0x04, c.PulledAt}, c.Nth, FaultKind::Fail);
      }
      ::testing::internal::CaptureStdout();

      c.Run(rig.window, rig.path);

      ::testing::internal::GetCapturedStdout();
      EXPECT_EQ(rig.config, rig.FlashRange(c.Device.ConfigOffset, c.Device.ConfigBytes));
      ExpectJournalClean(journal);
    }
  }
}

TEST(KeptAreaJournal, EraseOnlyKeepsTheAreaUntilItIsWrittenBack) {
  SerialFlashRig rig(Qvk842Eon());
  rig.window.TickFor(EngineeringAction::EraseOnly);
  RecoveryJournal journal(rig.dir.path() / "journal");
  ScopedJournalRun run(journal, DeviceOf(rig));
  // Every write refused: the area cannot go back, and only the journal still has it.
  rig.ArmFault({0xFF, 0x04, 0x11}, 1, FaultKind::Fail, 0);

  EXPECT_EQ(0, UpdateFlashWithNvram(rig.window, rig.path));

  const std::vector<JournalEntry> open = journal.OpenFor(DeviceOf(rig), nullptr);
  ASSERT_EQ(1u, open.size());
  EXPECT_EQ(rig.config, open[0].Area);
  EXPECT_EQ(Sha256Digest{}, open[0].ImageSha256) << "an erase-only run names no image";

  rig.system.Faults().Clear();
  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));
  // The rerun keeps what the flash now holds (erased bytes) in an entry of its own and closes it;
  // the first entry stays for the operator to restore.
  EXPECT_EQ(1u, journal.List().Open.size());
}

TEST(KeptAreaJournal, AJournalThatCannotBeWrittenIsNamedAndTheRunGoesOn) {
  SerialFlashRig rig(Qvk842Eon());
  rig.WriteImage(40 * 1024);
  WriteFileBytes(rig.dir.File("occupied"), {'x'});
  RecoveryJournal journal(std::filesystem::path(rig.dir.File("occupied")) / "journal");
  ScopedJournalRun run(journal, DeviceOf(rig));

  EXPECT_EQ(1, UpdateFlashWithNvram(rig.window, rig.path));

  EXPECT_EQ("Programming Success!!", rig.window.StatusText());
  const auto debug = ProcedureDebugLines(rig.platform.DebugLines());
  ASSERT_EQ(1u, debug.size());
  EXPECT_EQ(0u,
            debug[0].rfind("Recovery journal: the configuration area is not kept on disk: ", 0));
}

}  // namespace
}  // namespace q71x::testing
