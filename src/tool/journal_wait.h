// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the recovery journal holds for the device the chip check found, and whether any of it may
// go back on it. An entry goes back only on the unit it was kept for, and only when it is the one
// entry that may be that unit's: of two, the older one applied first would be written over by
// the other, which may be an erased area. Whatever waits for a device, proven or not, keeps its
// update and erase from starting, so a run adds no second entry and replaces none.

#include <string>
#include <vector>

#include "src/update/journal/recovery_journal.h"

namespace q71x {

enum class JournalVerdict {
  Nothing,         // no entry is or may be this unit's
  Offer,           // one entry, provably this unit's or named by the operator's override
  UnprovenUnit,    // one entry, but nothing proves this is the enclosure it was kept for
  SeveralEntries,  // more than one entry may be this unit's: none goes back by itself
};

struct JournalWait {
  JournalVerdict Verdict = JournalVerdict::Nothing;
  std::vector<JournalCandidate> Candidates;  // oldest first
  std::vector<JournalProblem> Problems;      // files of the folder that are not sound entries
  std::string Refusal;  // UnprovenUnit, SeveralEntries: the files, both units and why
  bool Waiting() const { return !Candidates.empty(); }
};

// `overrideUnitId`: the id the operator spelled out to have an unproven entry put back (the
// command line's --force); it counts only when it is the device's own id and one entry waits.
JournalWait JournalWaitFor(const RecoveryJournal& journal, const JournalDevice& device,
                           const std::string& overrideUnitId);

}  // namespace q71x
