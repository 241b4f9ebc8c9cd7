// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a front end that keeps a recovery journal does around a run: the journal is installed for
// the run, and after the enclosure is back (re-plugged or power-cycled) and the chip check has
// run, the open entry of that unit is put back through the library's restore before the operator
// runs the action again, through the family that kept the area. What goes back is what the tool
// core would offer (src/tool/journal_wait.h): one entry, provably the unit's.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

#include "src/tool/chip_probe.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/journal/recovery_journal.h"

namespace q71x::campaign {

// The device as the chip check found it, the way the front ends name it in the journal.
JournalDevice JournalDeviceOf(const ChipState& state, const ChipProbe& probe,
                              const std::string& path);

struct JournalRecovery {
  std::size_t Restored = 0;  // entries whose area is back, each closed
  std::size_t Failed = 0;    // open entries of the device the restore could not put back
  // Entries that may be the device's but do not go back by themselves: an unproven unit, or more
  // than one of them.
  std::size_t Refused = 0;
  std::size_t Problems = 0;  // files in the folder that are not sound entries
};

class FrontEndJournal {
 public:
  // Starts from an empty folder.
  explicit FrontEndJournal(std::filesystem::path folder);
  FrontEndJournal(const FrontEndJournal&) = delete;
  FrontEndJournal& operator=(const FrontEndJournal&) = delete;

  // The journal stays installed while the returned scope lives.
  std::unique_ptr<ScopedJournalRun> Install(const JournalDevice& device);
  // After the re-plug and the chip check (whose facts `window` holds): restores the open entry of
  // `device` on `path` the way the procedure that kept it writes it back.
  JournalRecovery Recover(ToolWindow& window, const JournalDevice& device, const std::string& path);

 private:
  RecoveryJournal journal_;
};

}  // namespace q71x::campaign
