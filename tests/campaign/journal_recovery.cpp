#include "tests/campaign/journal_recovery.h"

#include "src/tool/journal_device.h"
#include "src/update/journal_area_restore.h"

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
  JournalListing listing;
  for (const JournalEntry& entry : journal_.OpenFor(device, &listing)) {
    const int restored = RestoreFromJournal(journal_, entry, [&](const JournalEntry& open) {
      return RestoreJournalArea(window, path, open);
    });
    ++(restored == 1 ? recovery.Restored : recovery.Failed);
  }
  recovery.Problems = listing.Problems.size();
  return recovery;
}

}  // namespace q71x::campaign
