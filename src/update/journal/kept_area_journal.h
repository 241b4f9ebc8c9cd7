// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The procedures' kept configuration area in the recovery journal. A front end that
// keeps a journal installs it, with the device the chip check found, for the length of a run;
// with none installed the procedures keep nothing on disk (the campaign, the benchmarks and the
// fuzzers run that way).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "src/update/journal/kept_area_restore.h"
#include "src/update/journal/recovery_journal.h"

namespace q71x {

// Installs `journal` (not owned) and the device for the lifetime of a scope.
class ScopedJournalRun {
 public:
  ScopedJournalRun(RecoveryJournal& journal, JournalDevice device);
  ~ScopedJournalRun();
  ScopedJournalRun(const ScopedJournalRun&) = delete;
  ScopedJournalRun& operator=(const ScopedJournalRun&) = delete;
};

// One run's entry: recorded when made, right before the first erase; closed by AreaInPlace when
// the run ends with the area where it belongs. An entry that cannot be written is named on the
// debugger output and the run goes on as it would without a journal.
class KeptAreaJournalEntry {
 public:
  // `image` may be null (an erase-only action): the entry then names no image.
  KeptAreaJournalEntry(std::string_view procedure, const KeptArea& area, const std::uint8_t* image,
                       std::size_t imageLength);
  KeptAreaJournalEntry(const KeptAreaJournalEntry&) = delete;
  KeptAreaJournalEntry& operator=(const KeptAreaJournalEntry&) = delete;

  void AreaInPlace();

 private:
  RecoveryJournal* journal_ = nullptr;
  std::string name_;
};

}  // namespace q71x
