// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The window as the procedures see it, as lean as the real one: it keeps the current status text
// only (a full history would grow with every progress dot and count against the tool in a memory
// measurement) and counts posts, so a run can be checked for how it ended.

#include <string>

#include "src/update/tool_window.h"

namespace q71x::bench {

class BenchWindow final : public ToolWindow {
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
  int parallelPart = 0;
  long statusUpdates = 0;

  ChipState& State() override { return state; }
  ProgramSettings& Settings() override { return settings; }
  void PostStatus(const std::string& text) override { SetStatus(text); }
  void SetStatus(const std::string& text) override {
    status_ = text;
    ++statusUpdates;
  }
  std::string StatusText() const override { return status_; }
  void RedrawStatus() override {}
  void ProcessMessages() override {}
  std::string FirmwareFileName() const override { return firmwareFile; }
  std::string BackupFileName() const override { return backupFile; }
  bool RdVersionTicked() const override { return rdVersion; }
  bool EraseOnlyTicked() const override { return eraseOnly; }
  bool BackupOnlyTicked() const override { return backupOnly; }
  bool NvramTicked() const override { return nvram; }
  bool A1ChipTicked() const override { return a1Chip; }
  bool ChecksumTicked() const override { return false; }
  int ParallelFlashPartIndex() const override { return parallelPart; }
  void SetNvramTicked(bool ticked) override { nvram = ticked; }

 private:
  std::string status_;
};

}  // namespace q71x::bench
