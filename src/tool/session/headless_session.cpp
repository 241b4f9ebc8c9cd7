// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/session/headless_session.h"

#include <algorithm>
#include <memory>

#include "src/device/discovery.h"

namespace q71x {
namespace {

// The core's timers drive the hot-plug debounce only; a headless run has none.
class NoTimers final : public WindowTimers {
 public:
  void SetExpiryHandler(ExpiryHandler) override {}
  void SetTimer(int, int) override {}
  void KillTimer(int) override {}
};

Control ActionBox(EngineeringAction action) {
  return action == EngineeringAction::EraseOnly ? Control::EraseOnlyCheck
                                                : Control::BackupFWCheckBox;
}

}  // namespace

HeadlessSession::HeadlessSession(RecoveryJournal* journal, RunScopes scopes)
    : journal_(journal),
      core_(view_, std::make_unique<NoTimers>(), std::string()),
      runScopes_(std::move(scopes)) {
  core_.SetRecoveryJournal(journal_);
  // A verb that names one device talks to that device only; the backup before a run and the
  // run are one claim on the unit.
  core_.SetContactRule([this](const std::string& path) { return selectedPaths_.count(path) != 0; });
  core_.HoldOwnershipToShutdown();
  core_.Start();
}

HeadlessSession::~HeadlessSession() {
  core_.Shutdown();
}

UnitOwnership HeadlessSession::Close() {
  core_.Shutdown();
  return core_.HandOverOwnership();
}

DeviceFacts HeadlessSession::Select(int index) {
  const std::size_t boxesBefore = boxes_.Boxes().size();
  const std::size_t yesBefore = answers_.YesCount();
  selectedPaths_.insert(PathOf(index));
  core_.DeviceListChanged(index);
  DeviceFacts facts;
  facts.Index = index;
  const DeviceEntry& entry = core_.Devices()[static_cast<std::size_t>(index)];
  facts.Path = entry.DevicePath;
  facts.ListText = core_.DeviceItems()[static_cast<std::size_t>(index)];
  facts.Is1394 = IsPathOn1394(entry.DevicePath);
  facts.Chip = core_.Controls(Control::ChipLabelEdit).Text;
  facts.ChipType = core_.State().ChipType;
  facts.ChipRevision = core_.State().ChipRevision;
  facts.FlashVendor = core_.State().FlashVendor;
  facts.FlashText = core_.Controls(Control::SFlashTypeLable).Text;
  facts.ConfigLevel = core_.State().ConfigLevel;
  facts.FirmwareVersion = core_.Controls(Control::FwVerLableEdit).Text;
  facts.Volumes = core_.Controls(Control::DiskLetterLable).Text;
  facts.FirmwareSize = core_.Settings().FirmwareSize;
  facts.Status = core_.StatusText();
  facts.Boxes = boxes_.TextsSince(boxesBefore);
  facts.Procedure = core_.PlannedProcedure();
  facts.Unit = core_.CheckedDevice().Unit;
  const JournalWait wait = core_.WaitingJournal();
  facts.RecoveryPending = wait.Waiting();
  facts.RecoveryConfirmed = answers_.YesCount() > yesBefore;
  facts.RecoveryVerdict = wait.Verdict;
  facts.RecoveryRefusal = wait.Refusal;
  for (const JournalProblem& problem : wait.Problems) {
    facts.JournalProblems.push_back(problem.Name + ": " + problem.What);
  }
  facts.InUseBy = core_.InUseBy(index);
  return facts;
}

bool HeadlessSession::TickA1Chip() {
  const ControlState& box = core_.Controls(Control::A1ChipCheck);
  if (!box.Visible || !box.Enabled) {
    return false;
  }
  core_.TickChanged(Control::A1ChipCheck, true);
  return true;
}

ImageCheck HeadlessSession::GiveImage(const std::string& imagePath, bool force) {
  const std::size_t boxesBefore = boxes_.Boxes().size();
  ImageCheck check;
  core_.FirmwareFileEdited(imagePath);
  check.RunAllowed = core_.Controls(Control::UpdateBtn).Enabled;
  check.Boxes = boxes_.TextsSince(boxesBefore);
  check.Mismatch = !check.RunAllowed && !check.Boxes.empty();
  check.Status = core_.StatusText();
  if (check.Mismatch && force) {
    // Load File warns with the same box and then enables Run: the window's override.
    boxes_.AnswerNextOpenFile(imagePath);
    core_.LoadBtnClick();
    check.RunAllowed = core_.Controls(Control::UpdateBtn).Enabled;
    check.Forced = check.RunAllowed;
    check.Boxes = boxes_.TextsSince(boxesBefore);
    check.Status = core_.StatusText();
  }
  return check;
}

RunReport HeadlessSession::RunUpdate() {
  return PressRun(EngineeringAction::Update);
}

RunReport HeadlessSession::RunAction(EngineeringAction action, const std::string& backupFile,
                                     std::uint32_t backupBytes) {
  core_.TickChanged(Control::RdCheckBox, true);
  if (action == EngineeringAction::BackupOnly) {
    core_.BackupFileEdited(backupFile);
  }
  core_.TickChanged(ActionBox(action), true);
  // The backup action reads the program-wide firmware size; a larger backup is read with it set
  // for this run alone, as the window's size box would set it.
  const std::uint32_t firmwareSize = core_.Settings().FirmwareSize;
  if (action == EngineeringAction::BackupOnly && backupBytes > firmwareSize) {
    core_.Settings().FirmwareSize = backupBytes;
  }
  RunReport report = PressRun(action);
  core_.Settings().FirmwareSize = firmwareSize;
  // Untick as the operator would, so that a later Run is an update again.
  core_.TickChanged(ActionBox(action), false);
  core_.TickChanged(Control::RdCheckBox, false);
  return report;
}

RunReport HeadlessSession::PressRun(EngineeringAction action) {
  RunReport report;
  report.Action = action;
  // After a stop request the program ends; it starts nothing new on the device.
  if (!core_.Controls(Control::UpdateBtn).Enabled ||
      (runScopes_.StopRequested && runScopes_.StopRequested())) {
    report.Status = core_.StatusText();
    return report;
  }
  const std::size_t boxesBefore = boxes_.Boxes().size();
  const std::vector<std::string>& history = core_.StatusHistory();
  const std::size_t historyBefore = history.size();
  {
    // A backup only reads: a stop request may end it at once. Entered before the run is
    // announced, so that whoever hears of the run can count on the scope.
    std::unique_ptr<RunScope> scope;
    if (action != EngineeringAction::BackupOnly && runScopes_.EnterChangingRun) {
      scope = runScopes_.EnterChangingRun();
    }
    if (observer_ != nullptr) {
      observer_->RunStarting(action, core_.PlannedProcedure(), core_.Settings().FirmwareSize);
    }
    core_.UpdateBtnClick();
  }
  report.Procedure = core_.LastProcedure();
  report.Result = core_.LastResult();
  report.Status = core_.StatusText();
  report.Boxes = boxes_.TextsSince(boxesBefore);
  // The core keeps the latest entries only; a run that outgrew it reports what is kept.
  const std::size_t first =
      history.size() < ToolCore::kStatusHistoryLength ? std::min(historyBefore, history.size()) : 0;
  report.StatusHistory.assign(history.begin() + static_cast<std::ptrdiff_t>(first), history.end());
  if (report.Result >= 0) {
    report.Outcome = core_.Run().Outcome;
    report.Claimed = report.Outcome.Verdict == RunVerdict::Succeeded;
    report.PowerCycle = report.Outcome.PowerCycleAsked;
  }
  if (observer_ != nullptr) {
    observer_->RunEnded(report);
  }
  return report;
}

}  // namespace q71x
