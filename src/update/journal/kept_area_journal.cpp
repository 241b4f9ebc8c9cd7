// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/kept_area_journal.h"

#include "src/host/thread_seams.h"
#include "src/update/status_reporting.h"

namespace q71x {
namespace {

struct InstalledRun {
  RecoveryJournal* Journal = nullptr;
  JournalDevice Device;
};

InstalledRun& Installed() {
  static InstalledRun processWide;
  thread_local InstalledRun threadOwn;
  return SeamSlot(processWide, threadOwn);
}

}  // namespace

ScopedJournalRun::ScopedJournalRun(RecoveryJournal& journal, JournalDevice device) {
  Installed() = InstalledRun{&journal, std::move(device)};
}

ScopedJournalRun::~ScopedJournalRun() {
  Installed() = InstalledRun{};
}

KeptAreaJournalEntry::KeptAreaJournalEntry(std::string_view procedure, const KeptArea& area,
                                           const std::uint8_t* image, std::size_t imageLength) {
  const InstalledRun& run = Installed();
  if (run.Journal == nullptr) {
    return;
  }
  JournalEntry entry;
  entry.Device = run.Device;
  entry.Procedure = std::string(procedure);
  entry.AreaAddress = area.Address;
  entry.EraseAddress = area.EraseAddress;
  entry.Area.assign(area.Saved, area.Saved + area.Length);
  if (image != nullptr) {
    entry.ImageSha256 = Sha256Of(image, imageLength);
  }
  if (const std::string failure = run.Journal->Record(entry); !failure.empty()) {
    WriteDebugLine("Recovery journal: the configuration area is not kept on disk: " + failure);
    return;
  }
  journal_ = run.Journal;
  name_ = entry.Name;
}

void KeptAreaJournalEntry::AreaInPlace() {
  if (journal_ != nullptr && !journal_->Close(name_)) {
    WriteDebugLine("Recovery journal: entry " + name_ + " could not be closed");
  }
  journal_ = nullptr;
}

}  // namespace q71x
