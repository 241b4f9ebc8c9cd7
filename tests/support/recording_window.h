// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A ToolWindow for procedure tests: plain fields for every control a procedure reads, and the
// full history of status texts.

#include <string>
#include <vector>

#include "src/update/tool_window.h"
#include "src/update/update_procedure.h"

namespace q71x::testing {

class RecordingWindow : public ToolWindow {
 public:
  ChipState state;
  ProgramSettings settings;
  std::string firmwareFile;
  std::string backupFile;
  bool rdVersion = false;
  bool eraseOnly = false;
  bool backupOnly = false;
  bool nvram = false;
  bool a1Chip = false;
  bool checksum = false;
  int parallelPart = 0;

  // Every text the status field held, in order (posts and plain sets).
  std::vector<std::string> statusHistory;
  int messagePumps = 0;
  // Every share of the run done that the procedure reported, in order.
  std::vector<int> runPercents;
  int redraws = 0;

  // Ticks the boxes an operator ticks for the action (an engineering action needs "RD Version"
  // first), including the copy of the erase-only tick the chip check keeps.
  void TickFor(EngineeringAction action) {
    rdVersion = action != EngineeringAction::Update;
    eraseOnly = action == EngineeringAction::EraseOnly;
    backupOnly = action == EngineeringAction::BackupOnly;
    state.EraseOnly = eraseOnly ? 1 : 0;
  }

  ChipState& State() override { return state; }
  ProgramSettings& Settings() override { return settings; }
  void PostStatus(const std::string& text) override {
    SetStatus(text);
    ProcessMessages();
  }
  void SetStatus(const std::string& text) override {
    status_ = text;
    statusHistory.push_back(text);
  }
  std::string StatusText() const override { return status_; }
  void RedrawStatus() override { ++redraws; }
  void ProcessMessages() override { ++messagePumps; }
  void ShowRunPercent(int percent) override { runPercents.push_back(percent); }
  std::string FirmwareFileName() const override { return firmwareFile; }
  std::string BackupFileName() const override { return backupFile; }
  bool RdVersionTicked() const override { return rdVersion; }
  bool EraseOnlyTicked() const override { return eraseOnly; }
  bool BackupOnlyTicked() const override { return backupOnly; }
  bool NvramTicked() const override { return nvram; }
  bool A1ChipTicked() const override { return a1Chip; }
  bool ChecksumTicked() const override { return checksum; }
  int ParallelFlashPartIndex() const override { return parallelPart; }
  void SetNvramTicked(bool ticked) override { nvram = ticked; }

 private:
  std::string status_;
};

}  // namespace q71x::testing
