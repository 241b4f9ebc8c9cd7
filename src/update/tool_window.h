// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What an update procedure may see and touch of the main window. The Qt window implements it;
// tests implement it with a recorder that keeps every status text in order. Procedures are called
// as Procedure(window, devicePath) and read everything else from here.

#include <cstdint>
#include <string>

#include "src/catalog/chip_type_table.h"
#include "src/catalog/flash_vendor_table.h"
#include "src/update/run_outcome.h"

namespace q71x {

// State fields the chip check fills and the procedures read. All zero (the unknown chip and
// vendor) when the window is made.
struct ChipState {
  q71x::ChipType ChipType = q71x::ChipType::Unknown;
  std::uint8_t ChipRevision = 0;
  q71x::FlashVendor FlashVendor = q71x::FlashVendor::Unknown;
  std::int32_t AmicFlashPart = 0;   // -1 = none, once the chip check ran
  std::int32_t AtmelFlashPart = 0;  // -1 = none, once the chip check ran
  std::uint32_t SstSpiFlash = 0;    // 1 when the checked SST flash answered BF 25
  std::uint32_t FileHasNvram = 0;   // the image carries a leading 4 KB NVRAM block
  std::int32_t ConfigLevel = 0;     // byte 8 of the configuration block
  std::uint32_t EraseOnly = 0;      // copy of the erase-only tick
};

// One value each for the whole program.
struct ProgramSettings {
  std::uint32_t FirmwareSize = 65536;
  std::uint32_t FlashPageSize = 8192;
  std::uint32_t EraseBlockSize = 32768;
  std::uint32_t EraseSectorSize = 4096;
};

class ToolWindow {
 public:
  virtual ~ToolWindow() = default;

  virtual ChipState& State() = 0;
  virtual ProgramSettings& Settings() = 0;

  // StatusEdit. Post = set the whole text, then let the window process pending messages.
  virtual void PostStatus(const std::string& text) = 0;
  // Set the text only (no message processing).
  virtual void SetStatus(const std::string& text) = 0;
  virtual std::string StatusText() const = 0;
  // Repaint the status field at once.
  virtual void RedrawStatus() = 0;
  // Let the window handle its pending messages.
  virtual void ProcessMessages() = 0;
  // Posts the current text plus `suffix` (one "." per erased unit or block).
  void AppendStatus(const std::string& suffix) { PostStatus(StatusText() + suffix); }

  // Texts of the fields a procedure reads.
  virtual std::string FirmwareFileName() const = 0;  // FwFilenameEdit
  virtual std::string BackupFileName() const = 0;    // BackupFileEdit

  // Ticks a procedure reads.
  virtual bool RdVersionTicked() const = 0;        // RdCheckBox "RD Version"
  virtual bool EraseOnlyTicked() const = 0;        // EraseOnlyCheck
  virtual bool BackupOnlyTicked() const = 0;       // BackupFWCheckBox
  virtual bool NvramTicked() const = 0;            // NVRAMCheck "Include 4K NVRAM"
  virtual bool A1ChipTicked() const = 0;           // A1ChipCheck
  virtual bool ChecksumTicked() const = 0;         // ChkSumChk
  virtual int ParallelFlashPartIndex() const = 0;  // selected item of FlashTypeList
  // The one tick a procedure writes (the dual-path update ticks "Include 4K NVRAM").
  virtual void SetNvramTicked(bool ticked) = 0;

  // What the running procedure has done so far (src/update/run_steps.h keeps it).
  RunRecord& Run() { return run_; }
  const RunRecord& Run() const { return run_; }
  // The share of the run done, 0 to 100, each time it grows; front ends show it.
  virtual void ShowRunPercent(int /*percent*/) {}

 private:
  RunRecord run_;
};

}  // namespace q71x
