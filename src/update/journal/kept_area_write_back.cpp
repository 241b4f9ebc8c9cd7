// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/kept_area_write_back.h"

#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"

namespace q71x {

bool PutKeptAreaBack(ToolWindow& window, KeptAreaJournalEntry& journal,
                     const std::function<bool()>& writeBack, const std::function<int()>& restore) {
  EnterStep(window, RunStep::Restore);
  // A write-back that did not take is followed by the restore, so the retry does not save
  // erased or garbled bytes as the configuration.
  if (writeBack() || restore() == 1) {
    journal.AreaInPlace();
    return true;
  }
  MarkStopped(window);
  ShowStatus(window, kWriteNvramBackFailText);
  return false;
}

}  // namespace q71x
