// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The tool core: the window's state and every decision the window makes, with no toolkit. It
// keeps the device list and its entries, the selection, the chip state and the program-wide
// settings, the ticks, choices and texts of the controls; it refreshes the list and folds
// hot-plug bursts, runs the chip check, decides Run, dispatches Run to one procedure, handles the
// engineering options and Load File, and holds back events that arrive while a procedure or a
// box of the chip check is open. Front ends (the Qt window, the native Windows window, tests)
// forward operator events to the handlers below and show what the core tells their ToolView.
//
// Handlers keep the names of the window's event handlers. The core implements ToolWindow: it is
// what the procedures see.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "src/device/discovery.h"
#include "src/tool/bridge_list.h"
#include "src/tool/journal_wait.h"
#include "src/tool/tool_view.h"
#include "src/tool/unit_key.h"
#include "src/tool/unit_ownership.h"
#include "src/tool/window_timers.h"
#include "src/update/journal/recovery_journal.h"
#include "src/update/procedure_dispatch.h"
#include "src/update/tool_window.h"
#include "src/update/update_procedure.h"

namespace q71x {

// Hot-plug debounce: the window timer's id and its two delays.
inline constexpr int kHotPlugTimerId = 2;
inline constexpr int kArrivalDelayMs = 1200;
inline constexpr int kOtherChangeDelayMs = 200;
// Device-change event codes as the notification carries them.
inline constexpr std::uint32_t kDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;
inline constexpr std::uint32_t kDevNodesChanged = 0x0007;

// What the open-file dialog keeps between uses (it serves firmware and backup files alike).
struct OpenDialogSettings {
  std::string Filter;
  std::string InitialDir;
};

// One control's state as the core keeps it.
struct ControlState {
  bool Enabled = true;
  bool Visible = true;
  bool Checked = false;
  int SelectedItem = -1;  // combo boxes: -1 when none (empty, or a typed text)
  std::string Text;       // UTF-8
};

class ToolCore final : public ToolWindow {
 public:
  // `programFolder`: the program's own folder, where the file dialogs start the first time unless
  // it is a system folder (see dialog_start_folder.h).
  ToolCore(ToolView& view, std::unique_ptr<WindowTimers> timers, std::string programFolder);
  ~ToolCore() override;
  ToolCore(const ToolCore&) = delete;
  ToolCore& operator=(const ToolCore&) = delete;

  // Start-up in the order the window wants: every control shown as laid out, EraseOnly copied,
  // device refresh, the "RD Version" handler, then FormCreate (hot-plug registration).
  void Start();
  // Shut-down: releases the hot-plug registration and closes the bridge session of every
  // CD-ROM-class device of the list. Also run by the destructor.
  void Shutdown();

  // Operator events, forwarded by the view.
  void DeviceListChanged(int item);  // -1: a typed text that names no item
  void FirmwareFileEdited(const std::string& text);
  void BackupFileEdited(const std::string& text);
  void FlashTypeChanged(int item);
  void TickChanged(Control box, bool ticked);  // every check box
  void FwSizeCheckChange(int item);
  void FwPgSizeCheckChange(int item);
  void QV958PathChange(int item);
  void LoadBtnClick();
  void BackupBtnClick();
  void UpdateBtnClick();
  void ExitBtnClick();
  // The same events by control, for a front end that connects every control in one loop over
  // the window description: a button's click, a combo box's choice (-1: a typed text that names
  // no item), an edit's new text. Controls without a handler for the event are passed by.
  void Clicked(Control button);
  void ItemChosen(Control box, int item);
  void TextEdited(Control edit, const std::string& text);
  // The window is asked to close: true when it may close now. While a procedure runs the close
  // waits until it has returned (then CloseWindow is asked of the view).
  bool CloseRequested();
  // The window's own messages: device change (event code), timer (id), dropped files (names).
  void DeviceChangeMsg(std::uint32_t eventCode);
  void TimerMsg(int timerId);
  void DropFilesMsg(const std::vector<std::string>& fileNames);

  // The handlers the window runs itself.
  void RefreshBtnClick();
  void UpdateBtnCheck();
  void EraseOnlyCheckClick(Control sender);
  void RdCheckBoxClick();
  void FormCreate();

  // What the front ends show and the tests read.
  const ControlState& Controls(Control control) const;
  const std::vector<std::string>& DeviceItems() const { return deviceItems_; }
  const std::array<DeviceEntry, kMaxDevices>& Devices() const { return devices_; }
  int DeviceCount() const { return deviceCount_; }
  // The selected device's entry index, or -1 when the list is empty or no item is selected.
  int SelectedDeviceIndex() const;
  std::uint16_t ChipIdentity() const;
  bool ProcedureRunning() const { return procedureRunning_; }
  bool DevNotify() const { return devNotify_; }
  // The procedure the last Run started (None when the chip has none) and what it returned
  // (-1 when nothing ran). Front ends without an operator watching (the command line, the
  // fault campaign) read these; the window does not.
  UpdateProcedure LastProcedure() const { return lastProcedure_; }
  int LastResult() const { return lastResult_; }
  // The procedure Run would start for the selected device now (None when it would start none);
  // asks the device for its mode flag where the chip's rule needs it, and writes nothing.
  UpdateProcedure PlannedProcedure() const;
  OpenDialogSettings& OpenDialog1() { return openDialog1_; }
  // Every status text set since start, oldest first (the latest kStatusHistoryLength).
  const std::vector<std::string>& StatusHistory() const { return statusHistory_; }
  // Ticks a box as the program would (its handler runs when the tick changes).
  void SetTicked(Control box, bool ticked);
  // A device command is taking its time (the simulator at the operator's pace): while a
  // procedure or the chip check runs, pending events may run meanwhile, the operator's input to
  // the window excepted. Otherwise nothing runs.
  void ProcessEventsDuringWait();
  // The recovery journal (not owned; null: none, as in the campaign and the benchmarks). With
  // one, every Run keeps the configuration area its procedure erases in it, and the chip check
  // offers to put back an area a device lost (see journal_recovery.cpp).
  void SetRecoveryJournal(RecoveryJournal* journal) { journal_ = journal; }
  // What the last chip check found the selected device to be, as the journal names devices.
  const JournalDevice& CheckedDevice() const { return checkedDevice_; }
  // What the journal holds for the checked device now (read from the folder at each call).
  // Whatever waits, proven or not, is a reason not to Run: the run would keep the bytes the
  // device holds now as its configuration, and could add no entry of its own.
  JournalWait WaitingJournal() const;
  // The operator's override for an entry not proven to be the checked device's: the device's own
  // unit id, spelled out (the command line's --force with it); empty: none. Only the one entry
  // that waits goes back, and only after the recovery question is answered yes. An id of another
  // unit puts nothing back on the checked device.
  void SetJournalOverride(std::string unitId) { journalOverride_ = std::move(unitId); }
  // One owner per bridge (unit_access.cpp). `rule` (empty: every bridge) says which bridges the
  // refresh and the chip check may send anything; the command line contacts only the device it
  // was named. Bridges another program owns are never contacted.
  void SetContactRule(std::function<bool(const std::string&)> rule) {
    contactRule_ = std::move(rule);
  }
  // Run takes the locks of its unit and lets go when it returns; held from then on, they stay
  // until shut-down (the command line, whose backup and run must be one).
  void HoldOwnershipToShutdown() { holdOwnership_ = true; }
  // The locks held that way, for the front end to keep past shut-down (the command line saves
  // the simulated machine's memories before it lets go).
  UnitOwnership HandOverOwnership() { return std::move(ownership_); }
  // Takes the locks of a listed device before anything is sent to it: nullopt when this
  // program owns it now, else the owner's process id (0: it did not say).
  std::optional<long> ClaimDevice(int index);
  // Told the path of a device this program has just come to own, before anything that may
  // change it is sent (the simulator loads what another program saved of it meanwhile).
  void SetClaimListener(std::function<void(const std::string&)> listener) {
    claimListener_ = std::move(listener);
  }
  // Told when a run or a journal write-back is over, while its devices are still owned (the
  // simulator saves their memories before another program may load them).
  void SetLetGoListener(std::function<void()> listener) { letGoListener_ = std::move(listener); }
  // The owner another program is of a listed device, as the last refresh or check saw it.
  std::optional<long> InUseBy(int index) const;

  // ToolWindow: what the update procedures see.
  ChipState& State() override { return state_; }
  ProgramSettings& Settings() override { return settings_; }
  void PostStatus(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  std::string StatusText() const override;
  void RedrawStatus() override;
  void ProcessMessages() override;
  std::string FirmwareFileName() const override;
  std::string BackupFileName() const override;
  bool RdVersionTicked() const override;
  bool EraseOnlyTicked() const override;
  bool BackupOnlyTicked() const override;
  bool NvramTicked() const override;
  bool A1ChipTicked() const override;
  bool ChecksumTicked() const override;
  int ParallelFlashPartIndex() const override;
  void SetNvramTicked(bool ticked) override;
  void ShowRunPercent(int percent) override { view_.ShowRunPercent(percent); }

  static constexpr std::size_t kStatusHistoryLength = 256;

 private:
  friend class BusyScope;

  ControlState& Mutable(Control control);
  void SetText(Control control, const std::string& text);
  void SetEnabled(Control control, bool enabled);
  void SetVisible(Control control, bool visible);
  void SetSelectedItem(Control control, int item);
  bool Ticked(Control box) const { return Controls(box).Checked; }
  bool Enabled(Control control) const { return Controls(control).Enabled; }
  void ShowAll();
  // Sets the file field's text and runs its change handler even when the text did not change,
  // as an edit control reports every text it is given.
  void SetFileNameText(const std::string& text);
  // Shows the file dialog (an open dialog for images, a save dialog for backups), starting the
  // first time where DialogStartFolder says. Nothing when the operator cancelled or chose a name
  // too long to be taken whole (the status then shows `tooLongText`, which names the field).
  std::optional<std::string> RunOpenDialog1(std::string_view tooLongText, bool forBackup);
  // The device list from discovery, the operator's unit selected where it is listed.
  void RebuildDeviceList(const std::vector<ListedBridge>& listed);
  // The operator named a file or chose a device with the selection shown: it is theirs now.
  void ChooseShownDevice();
  void ShowNoDevice();
  // Whether the chip check may talk to the listed device now; the first time, it is sent what
  // the refresh would have sent it. Otherwise the fields say why and Run is off.
  bool ReachDevice(int index);
  // The fields of a listed device this program may not talk to are emptied, Run is off, and the
  // status names the owner where another program owns it.
  void ShowUnreachable(int index);
  // Claims last while a run or a write-back lasts; the command line keeps them to shut-down.
  void LetGoOfClaims();
  struct ClaimedForNow {
    ToolCore& core;
    ~ClaimedForNow() { core.LetGoOfClaims(); }
  };
  BridgeAccess AccessOf(const std::string& path) const;
  // Chip-check pieces.
  void ShowSerialFlashLayout();
  void ShowDiskKeptLayout();
  void ShowParallelFlashLayout();
  void ShowUnsupportedLayout();
  // The chip check's last step with a journal: reports its unsound files (each once) and offers
  // the device's open entries back.
  void OfferJournalRecovery();
  // The entry the operator may be asked to put back on the checked device, or null.
  const JournalEntry* OfferedJournalEntry(const JournalWait& wait) const;
  // Run decision shared by the chip check and the action boxes: the typed or loaded file name
  // matches the chip (a name of 260 characters or more never does).
  bool FileNameMatchesChip();
  DispatchFacts FactsForRun(int selected) const;
  // The chip's procedure depends on its configuration level, which the last check could not read.
  bool LevelMissing() const;
  // A device is selected and identified, and nothing its procedure depends on is missing.
  bool DeviceReadyForRun() const;
  // The device Run writes into, as the journal names it.
  JournalDevice RunDevice(const std::string& devicePath) const;
  // The journal keeps an area this device lost: nothing may change its memory before it is back.
  bool JournalEntryWaits(const JournalDevice& device) const;
  // True when an event must wait: a procedure runs or a box of the chip check is open.
  bool Busy() const { return busyDepth_ > 0; }
  void Defer(std::function<void()> event);
  void ReplayDeferredEvents();

  ToolView& view_;
  std::unique_ptr<WindowTimers> timers_;
  std::string programFolder_;
  std::array<ControlState, kControlCount> controls_{};
  std::vector<std::string> deviceItems_;
  std::array<DeviceEntry, kMaxDevices> devices_{};
  int deviceCount_ = 0;
  // The listed devices as units, and the one the operator chose (the start-up selection counts
  // as chosen). While that unit is not listed the list shows its first item, which nobody chose:
  // Run stays off for it until the operator chooses it or names a file.
  std::vector<UnitKey> listedUnits_;
  std::optional<UnitKey> chosenUnit_;
  bool selectionUnchosen_ = false;
  ChipState state_;
  ProgramSettings settings_;
  OpenDialogSettings openDialog1_;
  std::vector<std::string> statusHistory_;
  int lastParallelFlashPart_ = 0;  // the part number of the flash-type box's last choice
  UpdateProcedure lastProcedure_ = UpdateProcedure::None;
  int lastResult_ = -1;
  bool configLevelKnown_ = false;  // the last chip check read a disk-kept chip's level
  RecoveryJournal* journal_ = nullptr;
  UnitOwnership ownership_;
  std::function<bool(const std::string&)> contactRule_;
  std::function<void(const std::string&)> claimListener_;
  std::function<void()> letGoListener_;
  bool holdOwnership_ = false;
  std::array<BridgeAccess, kMaxDevices> access_{};
  std::set<std::string> sessionsOpened_;  // bridges this program sent a session open
  JournalDevice checkedDevice_;
  std::set<std::string> reportedJournalProblems_;
  // Entries the operator chose to leave: not asked again until a device is chosen or the list
  // is refreshed (the checks that follow a typed file name or a tick would ask at every key).
  std::set<std::string> declinedJournalEntries_;
  std::string journalOverride_;
  bool devNotify_ = false;
  bool procedureRunning_ = false;
  bool closeRequested_ = false;
  bool started_ = false;
  int busyDepth_ = 0;
  // Held back while busy: the latest dropped files, whether a refresh is owed (a timer fired),
  // and the strongest device change seen (an arrival waits longer than other changes).
  std::vector<std::function<void()>> deferred_;
  bool refreshOwed_ = false;
  std::optional<std::uint32_t> deviceChangeOwed_;
};

}  // namespace q71x
