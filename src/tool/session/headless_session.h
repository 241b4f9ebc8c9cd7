// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The tool core driven without a window (the command line drives it so): a headless view,
// recorded boxes, and the operator's steps (choose a device, give a file name, tick an action,
// press Run) done through the core's own handlers. What it returns is what the core and the
// procedures said, with the run's typed outcome.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "src/device/unit_identity.h"
#include "src/tool/headless_view.h"
#include "src/tool/session/box_recorder.h"
#include "src/tool/session/recovery_answers.h"
#include "src/tool/session/run_observer.h"
#include "src/tool/session/run_scope.h"
#include "src/tool/tool_core.h"
#include "src/update/update_procedure.h"

namespace q71x {

// The chip check's facts for one device, as the window's fields show them.
struct DeviceFacts {
  int Index = -1;
  std::string Path;
  std::string ListText;  // the device list's item
  bool Is1394 = false;
  std::string Chip;  // "Chip" field: the chip type's name
  q71x::ChipType ChipType = q71x::ChipType::Unknown;
  int ChipRevision = 0;
  q71x::FlashVendor FlashVendor = q71x::FlashVendor::Unknown;
  std::string FlashText;  // serial-flash families: the flash-type field
  int ConfigLevel = 0;
  std::string FirmwareVersion;
  std::string Volumes;  // drive letters or volume names, as the field shows them
  std::uint32_t FirmwareSize = 0;
  std::string Status;                                 // what the check left in the status field
  std::vector<std::string> Boxes;                     // boxes the check showed
  UpdateProcedure Procedure = UpdateProcedure::None;  // what Run would start
  // The enclosure, from what the system tells of it and the check's facts (no command more).
  UnitIdentity Unit;
  // The recovery journal keeps an area that is or may be this unit's (after the check: one put
  // back is no longer pending), and whether the check was told to put one back. What the journal
  // decided: a refusal names the files, both units and why nothing goes back.
  bool RecoveryPending = false;
  bool RecoveryConfirmed = false;
  JournalVerdict RecoveryVerdict = JournalVerdict::Nothing;
  std::string RecoveryRefusal;
  // Files of the journal folder that are not sound entries ("file: why"): never written, and
  // shown with every device, since the window names them once at start-up.
  std::vector<std::string> JournalProblems;
  // Another program owns the device: its process id (0: it did not say); it was sent nothing.
  std::optional<long> InUseBy;
};

// Whether an image may be run on the selected device, as the chip check decided it.
struct ImageCheck {
  bool RunAllowed = false;  // Run is enabled with this image
  bool Mismatch = false;    // the check showed its mismatch box
  bool Forced = false;      // Load File's override enabled Run despite the box
  std::string Status;
  std::vector<std::string> Boxes;
};

struct RunReport {
  EngineeringAction Action = EngineeringAction::Update;
  UpdateProcedure Procedure = UpdateProcedure::None;
  int Result = -1;                         // the procedure's return; -1 when none ran
  RunOutcome Outcome;                      // what the procedure did; meaningless when none ran
  bool Claimed = false;                    // the outcome is a success
  bool PowerCycle = false;                 // it asked for a power cycle
  std::string Status;                      // the status field at the end
  std::vector<std::string> StatusHistory;  // every status text the run set, oldest first
  std::vector<std::string> Boxes;
};

// The headless view, passing the running procedure's share on to whoever observes the runs.
class SessionView final : public HeadlessView {
 public:
  RunObserver* Observer = nullptr;
  void ShowRunPercent(int percent) override {
    if (Observer != nullptr && percent >= 0) {
      Observer->RunPercent(percent);
    }
  }
};

class HeadlessSession {
 public:
  // Starts the core, which lists the devices. `journal` (not owned, may be null): the recovery
  // journal the core keeps; `scopes`: how the program holds its stop requests while a run
  // changes the device (run_scope.h).
  explicit HeadlessSession(RecoveryJournal* journal = nullptr, RunScopes scopes = {});
  ~HeadlessSession();
  HeadlessSession(const HeadlessSession&) = delete;
  HeadlessSession& operator=(const HeadlessSession&) = delete;

  int DeviceCount() const { return core_.DeviceCount(); }
  const std::string& PathOf(int index) const {
    return core_.Devices()[static_cast<std::size_t>(index)].DevicePath;
  }
  // Selects the device (the chip check runs) and returns its facts. Only devices selected here
  // are sent anything, and none that another program owns.
  DeviceFacts Select(int index);
  // Makes this program the device's owner until the session ends, before anything is sent to
  // it: nullopt when it is, else the owner's process id (0: it did not say).
  std::optional<long> Claim(int index) { return core_.ClaimDevice(index); }
  // Told the path of each device Claim makes this program the owner of (src/tool/tool_core.h).
  void OnClaim(std::function<void(const std::string&)> listener) {
    core_.SetClaimListener(std::move(listener));
  }
  // Ends the session (as the destructor would) and hands over the units it owns, to be let go
  // once what the run changed is saved.
  UnitOwnership Close();
  // How the chip check's recovery questions are answered from now on (empty: no).
  void AnswerRecoveryWith(QuestionHandler answer) { answers_.AnswerWith(std::move(answer)); }
  // The operator's --force with a unit id: an entry not proven to be the device's is offered on
  // the device whose id this is (src/tool/tool_core.h).
  void OverrideJournalUnit(std::string unitId) { core_.SetJournalOverride(std::move(unitId)); }
  // The flash-type list's item (parallel-flash families).
  void ChooseFlashPart(int item) { core_.FlashTypeChanged(item); }
  // Ticks "A1 Chip" as the operator would; false, ticking nothing, when the selected device's
  // check does not offer the box.
  bool TickA1Chip();
  // Gives the image to the selected device's check; with `force`, Load File's override.
  ImageCheck GiveImage(const std::string& imagePath, bool force);
  // Run with the image given; or one of the engineering actions (the backup file for
  // BackupOnly, and how many bytes from address 0 it reads when more than the firmware size).
  RunReport RunUpdate();
  RunReport RunAction(EngineeringAction action, const std::string& backupFile = {},
                      std::uint32_t backupBytes = 0);
  // Told of every run from now on (not owned; null: nobody).
  void Observe(RunObserver* observer) {
    observer_ = observer;
    view_.Observer = observer;
  }
  // The window as the procedures see it, for reads that are no Run of their own.
  ToolWindow& Window() { return core_; }

 private:
  RunReport PressRun(EngineeringAction action);

  SessionView view_;
  BoxRecorder boxes_;
  RecoveryAnswers answers_;
  RecoveryJournal* journal_;
  ToolCore core_;
  RunObserver* observer_ = nullptr;
  RunScopes runScopes_;
  std::set<std::string> selectedPaths_;  // the devices the session may talk to
};

}  // namespace q71x
