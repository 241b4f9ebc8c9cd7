#pragma once
// What the recovery-journal tests expect of a run that ended with the kept area in place.

#include <gtest/gtest.h>

#include "src/update/recovery_journal.h"

namespace q71x::testing {

// No entry left open and nothing else in the folder.
inline void ExpectJournalClean(const RecoveryJournal& journal) {
  const JournalListing listing = journal.List();
  EXPECT_TRUE(listing.Open.empty());
  EXPECT_TRUE(listing.Problems.empty());
}

}  // namespace q71x::testing
