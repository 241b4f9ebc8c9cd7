// SPDX-License-Identifier: GPL-2.0-or-later
// The Run button: one update procedure for the selected device, chosen from the identified chip
// and what the chip check learnt about its flash.

#include <optional>

#include "src/catalog/chip_tables.h"
#include "src/device/platform/platform.h"
#include "src/tool/busy_scope.h"
#include "src/tool/file_name_limit.h"
#include "src/tool/journal_device.h"
#include "src/tool/run_caption.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/update/journal/kept_area_journal.h"
#include "src/update/procedure_dispatch.h"
#include "src/update/update_texts.h"

namespace q71x {

DispatchFacts ToolCore::FactsForRun(int selected) const {
  return DispatchFactsOf(state_, devices_[static_cast<std::size_t>(selected)].DevicePath);
}

UpdateProcedure ToolCore::PlannedProcedure() const {
  const int selected = SelectedDeviceIndex();
  if (selected < 0 || LevelMissing()) {
    return UpdateProcedure::None;
  }
  return ChooseUpdateProcedure(FactsForRun(selected));
}

JournalDevice ToolCore::RunDevice(const std::string& devicePath) const {
  return checkedDevice_.DevicePath == devicePath ? checkedDevice_
                                                 : JournalDeviceOf(state_, {}, devicePath);
}

bool ToolCore::JournalEntryWaits(const JournalDevice& device) const {
  return journal_ != nullptr && !journal_->OpenFor(device, nullptr).empty();
}

void ToolCore::UpdateBtnClick() {
  if (procedureRunning_) {
    return;
  }
  // Whatever stops Run before a procedure starts leaves no outcome of an earlier run behind.
  Run() = RunRecord{};
  // With no device, or a typed text in the list, there is no path to send anything to (the
  // entry behind an old index may belong to a removed enclosure).
  const int selected = SelectedDeviceIndex();
  if (selected < 0 || selectionUnchosen_) {
    return;  // Run was disabled: the shown device is not the one the operator chose
  }
  if (LevelMissing()) {
    return;  // the level that decides this chip's procedure is unknown; Run was disabled
  }
  // The backup name is the procedures' to check, and only when they write a backup.
  if (FileNameTooLong(Controls(Control::FwFilenameEdit).Text)) {
    SetStatus(std::string(kFirmwareNameTooLongText));
    return;
  }
  const DispatchFacts facts = FactsForRun(selected);
  if (ChipGroupOf(facts.ChipType) == ChipGroup::ParallelFlash &&
      Controls(Control::FlashTypeList).SelectedItem < 0) {
    // A typed "Flash Type" names no part: programming with the part chosen last would program
    // for a part the visible text does not name.
    SetStatus(std::string(kFlashTypeNotListedText));
    return;
  }

  const JournalDevice runDevice = RunDevice(facts.DevicePath);
  // A second run would bury the area the journal keeps under one more entry (recovery writes
  // them oldest first); a backup only reads, as the command line lets it. The procedures take
  // the backup tick only with the engineering panel's.
  const bool backupOnly = RdVersionTicked() && BackupOnlyTicked();
  if (!backupOnly && JournalEntryWaits(runDevice)) {
    SetStatus(std::string(kJournalPendingRunText));
    return;
  }

  // Nothing is sent to a unit another program owns; the window lets go when the run returns.
  if (const std::optional<long> owner = ClaimDevice(selected)) {
    lastProcedure_ = UpdateProcedure::None;
    lastResult_ = -1;
    SetStatus(InUseText(*owner));
    return;
  }
  const ClaimedForNow release{*this};
  BusyScope scope(*this, BusyScope::Kind::Procedure);
  ActivePlatform().DebugOutput(std::string(kUpdateBtnPressDebugText));
  SetText(Control::StatusEdit, {});
  lastProcedure_ = ChooseUpdateProcedure(facts);
  // The procedure keeps its erased area in the journal under the device the check found.
  std::optional<ScopedJournalRun> journalRun;
  if (journal_ != nullptr) {
    journalRun.emplace(*journal_, runDevice);
  }
  // The result is not looked at here: the procedures report to the operator themselves.
  lastResult_ =
      RunUpdateProcedure(lastProcedure_, *this, facts.DevicePath, ParallelFlashPartIndex());
  view_.ShowRunPercent(kNoRunPercent);
}

}  // namespace q71x
