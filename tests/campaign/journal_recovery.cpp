#include "tests/campaign/journal_recovery.h"

#include "src/update/kept_area_restore.h"

namespace q71x::campaign {
namespace {

// The library's proven restore of a kept area on the serial flash, which every procedure that
// keeps an area in the journal keeps it on.
int RestoreEntry(const std::string& path, const JournalEntry& entry) {
  return RestoreKeptArea(path, KeptArea{entry.AreaAddress, entry.EraseAddress, entry.Area.data(),
                                        static_cast<std::uint32_t>(entry.Area.size())});
}

}  // namespace

JournalDevice JournalDeviceOf(const ChipState& state, const ChipProbe& probe,
                              const std::string& path) {
  return JournalDevice{state.ChipType, state.ChipRevision, probe.FlashText, probe.VersionText,
                       path};
}

FrontEndJournal::FrontEndJournal(std::filesystem::path folder) : journal_(std::move(folder)) {
  std::error_code ignored;
  std::filesystem::remove_all(journal_.Folder(), ignored);
}

std::unique_ptr<ScopedJournalRun> FrontEndJournal::Install(const JournalDevice& device) {
  return std::make_unique<ScopedJournalRun>(journal_, device);
}

JournalRecovery FrontEndJournal::Recover(const JournalDevice& device, const std::string& path) {
  JournalRecovery recovery;
  JournalListing listing;
  for (const JournalEntry& entry : journal_.OpenFor(device, &listing)) {
    const int restored = RestoreFromJournal(
        journal_, entry, [&path](const JournalEntry& open) { return RestoreEntry(path, open); });
    ++(restored == 1 ? recovery.Restored : recovery.Failed);
  }
  recovery.Problems = listing.Problems.size();
  return recovery;
}

}  // namespace q71x::campaign
