// SPDX-License-Identifier: GPL-2.0-or-later
// The chip check with a recovery journal: a device that lost its configuration area in a cut-off
// run is recognised by the journal's open entry for its unit, and the operator is asked whether
// the area goes back now. Yes writes it back, reads it back and compares, and only then closes the
// entry; no leaves the entry until the device is chosen again or the list refreshed. An entry of
// another enclosure is never offered; one that may be this enclosure's but is not proven to be,
// and two that may be, are refused with the files and units named, and nothing is written. A file
// of the journal that is not a sound entry is named to the operator once and left where it is.

#include "src/host/question_box.h"
#include "src/host/user_dialogs.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/update/journal/journal_area_restore.h"

namespace q71x {
namespace {

// While the area is written the operator's input is dropped, as it is during a procedure; the
// chip check's own scope holds the other events back.
class InputHeldBack {
 public:
  explicit InputHeldBack(bool& procedureRunning)
      : flag_(procedureRunning), before_(procedureRunning) {
    flag_ = true;
  }
  ~InputHeldBack() { flag_ = before_; }
  InputHeldBack(const InputHeldBack&) = delete;
  InputHeldBack& operator=(const InputHeldBack&) = delete;

 private:
  bool& flag_;
  bool before_;
};

}  // namespace

JournalWait ToolCore::WaitingJournal() const {
  if (journal_ == nullptr || checkedDevice_.ChipType == ChipType::Unknown) {
    return {};
  }
  return JournalWaitFor(*journal_, checkedDevice_, journalOverride_);
}

const JournalEntry* ToolCore::OfferedJournalEntry(const JournalWait& wait) const {
  // An override that names another unit means the operator has another enclosure in mind:
  // nothing goes back here, not even an entry proven to be this one's.
  if (wait.Verdict != JournalVerdict::Offer ||
      (!journalOverride_.empty() && journalOverride_ != UnitId(checkedDevice_.Unit))) {
    return nullptr;
  }
  const JournalEntry& entry = wait.Candidates.front().Entry;
  return declinedJournalEntries_.count(entry.Name) != 0 ? nullptr : &entry;
}

void ToolCore::OfferJournalRecovery() {
  const JournalWait wait = WaitingJournal();
  for (const JournalProblem& problem : wait.Problems) {
    if (reportedJournalProblems_.insert(problem.Name).second) {
      const std::string file = (journal_->Folder() / problem.Name).string();
      ShowMessageBox(std::string(kJournalProblemText) + "\n" + file + "\n(" + problem.What + ")",
                     std::string(kJournalCaption), MessageIcon::Warning);
    }
  }
  if (wait.Verdict == JournalVerdict::UnprovenUnit ||
      wait.Verdict == JournalVerdict::SeveralEntries) {
    // Told once per choice of the device, as a declined question is asked again only then.
    if (declinedJournalEntries_.insert(wait.Refusal).second) {
      ShowMessageBox(wait.Refusal, std::string(kJournalCaption), MessageIcon::Warning);
    }
    return;
  }
  if (OfferedJournalEntry(wait) == nullptr) {
    return;
  }
  // The area is written only while this program owns the unit: the look the chip check took
  // before it talked to the bridge is no claim, and another program may have started its run
  // since. The entry is read again once owned: one seen before may have been that run's own.
  const int selected = SelectedDeviceIndex();
  if (ClaimDevice(selected)) {
    ShowUnreachable(selected);
    return;
  }
  const ClaimedForNow claimed{*this};
  const JournalWait owned = WaitingJournal();
  const JournalEntry* offered = OfferedJournalEntry(owned);
  if (offered == nullptr || offered->Name != wait.Candidates.front().Entry.Name) {
    return;
  }
  const JournalEntry& entry = *offered;
  const std::string question = std::string(kJournalQuestionText) + "\n" +
                               (journal_->Folder() / entry.Name).string() + " (" + entry.Procedure +
                               ", firmware " + entry.Device.FirmwareVersion + ", unit " +
                               UnitId(entry.Device.Unit) + ")";
  if (!AskYesNo(question, std::string(kJournalCaption))) {
    declinedJournalEntries_.insert(entry.Name);
    return;
  }
  const std::string& path = checkedDevice_.DevicePath;
  int restored = 0;
  {
    InputHeldBack held(procedureRunning_);
    restored = RestoreFromJournal(*journal_, entry, [this, &path](const JournalEntry& kept) {
      return RestoreJournalArea(*this, path, kept);
    });
  }
  // A box, not the status field: the checks that follow at start-up clear the field.
  ShowMessageBox(std::string(restored == 1 ? kJournalRestoredText : kJournalRestoreFailText),
                 std::string(kJournalCaption),
                 restored == 1 ? MessageIcon::Information : MessageIcon::Error);
}

}  // namespace q71x
