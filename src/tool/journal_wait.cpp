// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/journal_wait.h"

#include "src/tool/tool_texts.h"

namespace q71x {
namespace {

std::string Described(const RecoveryJournal& journal, const JournalCandidate& candidate) {
  return (journal.Folder() / candidate.Entry.Name).string() + "\n  kept for unit " +
         UnitId(candidate.Entry.Device.Unit) + " by " + candidate.Entry.Procedure + ": " +
         candidate.Why;
}

}  // namespace

JournalWait JournalWaitFor(const RecoveryJournal& journal, const JournalDevice& device,
                           const std::string& overrideUnitId) {
  JournalWait wait;
  JournalListing listing;
  wait.Candidates = journal.CandidatesFor(device, &listing);
  wait.Problems = std::move(listing.Problems);
  if (wait.Candidates.empty()) {
    return wait;
  }
  const std::string deviceId = UnitId(device.Unit);
  if (wait.Candidates.size() > 1) {
    wait.Verdict = JournalVerdict::SeveralEntries;
    wait.Refusal = std::string(kJournalSeveralText);
    for (const JournalCandidate& candidate : wait.Candidates) {
      wait.Refusal += "\n" + Described(journal, candidate);
    }
    wait.Refusal += "\nThis device is unit " + deviceId + ".";
    return wait;
  }
  const JournalCandidate& only = wait.Candidates.front();
  if (only.Match == UnitMatch::Same || (!overrideUnitId.empty() && overrideUnitId == deviceId)) {
    wait.Verdict = JournalVerdict::Offer;
    return wait;
  }
  wait.Verdict = JournalVerdict::UnprovenUnit;
  wait.Refusal = std::string(kJournalUnprovenText) + "\n" + Described(journal, only) +
                 "\nThis device is unit " + deviceId + ".";
  return wait;
}

}  // namespace q71x
