// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/journal_recovery.h"

#include "src/tool/journal_device.h"
#include "src/tool/journal_wait.h"
#include "src/update/journal/journal_area_restore.h"

namespace q71x::campaign {

JournalDevice JournalDeviceOf(const ChipState& state, const ChipProbe& probe,
                              const std::string& path) {
  return q71x::JournalDeviceOf(state, probe.VersionText, path);
}

FrontEndJournal::FrontEndJournal(std::filesystem::path folder) : journal_(std::move(folder)) {
  std::error_code ignored;
  std::filesystem::remove_all(journal_.Folder(), ignored);
}

std::unique_ptr<ScopedJournalRun> FrontEndJournal::Install(const JournalDevice& device) {
  return std::make_unique<ScopedJournalRun>(journal_, device);
}

JournalRecovery FrontEndJournal::Recover(ToolWindow& window, const JournalDevice& device,
                                         const std::string& path) {
  JournalRecovery recovery;
  const JournalWait wait = JournalWaitFor(journal_, device, {});
  recovery.Problems = wait.Problems.size();
  if (wait.Verdict != JournalVerdict::Offer) {
    recovery.Refused = wait.Candidates.size();
    return recovery;
  }
  const int restored = RestoreFromJournal(
      journal_, wait.Candidates.front().Entry,
      [&](const JournalEntry& open) { return RestoreJournalArea(window, path, open); });
  ++(restored == 1 ? recovery.Restored : recovery.Failed);
  return recovery;
}

}  // namespace q71x::campaign
