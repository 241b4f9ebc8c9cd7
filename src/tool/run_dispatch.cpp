// The Run button: one update procedure for the selected device, chosen from the identified chip
// and what the chip check learnt about its flash.

#include <optional>

#include "src/device/chip_tables.h"
#include "src/device/platform/platform.h"
#include "src/tool/busy_scope.h"
#include "src/tool/file_name_limit.h"
#include "src/tool/journal_device.h"
#include "src/tool/tool_core.h"
#include "src/tool/tool_texts.h"
#include "src/update/kept_area_journal.h"
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

void ToolCore::UpdateBtnClick() {
  if (procedureRunning_) {
    return;
  }
  // With no device, or a typed text in the list, there is no path to send anything to (the
  // entry behind an old index may belong to a removed enclosure).
  const int selected = SelectedDeviceIndex();
  if (selected < 0) {
    return;
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

  // Nothing is sent to a unit another program owns; the window lets go when the run returns.
  if (const std::optional<long> owner = ClaimDevice(selected)) {
    lastProcedure_ = UpdateProcedure::None;
    lastResult_ = -1;
    SetStatus(InUseText(*owner));
    return;
  }
  struct ReleaseAfterRun {
    ToolCore& core;
    ~ReleaseAfterRun() {
      if (!core.holdOwnership_) {
        core.ownership_.ReleaseAll();
      }
    }
  } release{*this};
  BusyScope scope(*this, BusyScope::Kind::Procedure);
  ActivePlatform().DebugOutput(std::string(kUpdateBtnPressDebugText));
  SetText(Control::StatusEdit, {});
  lastProcedure_ = ChooseUpdateProcedure(facts);
  // The procedure keeps its erased area in the journal under the device the check found.
  std::optional<ScopedJournalRun> journalRun;
  if (journal_ != nullptr) {
    journalRun.emplace(*journal_, checkedDevice_.DevicePath == facts.DevicePath
                                      ? checkedDevice_
                                      : JournalDeviceOf(state_, {}, facts.DevicePath));
  }
  // The result is not looked at here: the procedures report to the operator themselves.
  lastResult_ =
      RunUpdateProcedure(lastProcedure_, *this, facts.DevicePath, ParallelFlashPartIndex());
}

}  // namespace q71x
