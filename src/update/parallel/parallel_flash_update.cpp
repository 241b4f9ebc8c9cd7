// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/parallel/parallel_flash_update.h"

#include <algorithm>
#include <string_view>

#include "src/device/aligned_buffer.h"
#include "src/device/parallel_flash_commands.h"
#include "src/device/transfer_pieces.h"
#include "src/update/backup_file.h"
#include "src/update/flash_common.h"
#include "src/update/image_source.h"
#include "src/update/proven_ranges.h"
#include "src/update/proven_read.h"
#include "src/update/run_steps.h"
#include "src/update/status_reporting.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

constexpr int kBusyAnswersPerGroup = 500;
constexpr int kBusyGroupsBeforeGivingUp = 100;

constexpr std::string_view kPreEraseErrorText = "Error pre-erase command!!";
constexpr std::string_view kEraseStatusFailText = "Erase command ok,status fail!!";
constexpr std::string_view kEraseOkText = "Erase command ok!!";
constexpr std::string_view kNotErasedText = "Not Erase correctly!";
constexpr std::string_view kOpenNewRomFileErrorText = "Open New ROM File Error!!";
constexpr std::string_view kParallelReadFailText = "Read Fail!!";
constexpr std::string_view kParallelCompareFailText = "Compare Fail!!";
constexpr std::string_view kProgramAndCompareSuccessText = "Programming & Compare Success!!";
constexpr std::string_view kEraseOnlyReadBackFailText = "Read Back after Erase fail!!";
constexpr std::string_view kPartErasedText = "Erase All success!!";
constexpr std::string_view kReadRomFailText = "Read ROM fail!!";
constexpr std::string_view kSaveToFileFailText = "Read ROM Suceess, but save to file fail!!";

// These operations repaint the status field at once and keep the window's input queued.
// Clears the image buffer and reads the whole image into it. Empty text when the image is there;
// else the refusal to show. Everything about the file is settled here, before the flash is
// erased: an image that cannot be programmed must not cost the operator the old firmware.
std::string_view LoadImage(const std::string& path, AlignedBuffer& image) {
  ImageSource source;
  std::string_view refusal = OpenImageFile(path, ChipGroup::ParallelFlash, source);
  if (refusal == kOpenFileErrorText) {
    return kOpenNewRomFileErrorText;
  }
  if (!refusal.empty()) {
    return refusal;
  }
  if (source.length > kParallelFlashSize) {
    return kImageTooLargeText;
  }
  if (!ReadWholeImage(source, image.data(), kParallelFlashSize)) {
    return kOpenNewRomFileErrorText;
  }
  return {};
}

// The erase of a full update. Returns false only when the update must stop; a refused start, a
// bridge that never reports idle or a failed blank-check read let programming go ahead.
bool EraseBeforeProgramming(ToolWindow& window, const std::string& devicePath, int part,
                            AlignedBuffer& readBack) {
  EnterStep(window, RunStep::Erase);
  if (EraseParallelFlash(devicePath, part) == 0) {
    MarkStopped(window);
    ShowStatus(window, kPreEraseErrorText);
    return false;
  }
  if (ParallelFlashStart(devicePath) == 0) {
    return true;
  }
  if (WaitParallelFlashIdle(devicePath) == 0) {
    ShowStatus(window, kEraseStatusFailText);
    return true;
  }
  ShowStatus(window, kEraseOkText);
  EnterStep(window, RunStep::BlankCheck);
  if (ReadParallelFlash(devicePath, 0, readBack.data(), kParallelFlashSize) != 0 &&
      !IsErased(readBack.data(), kParallelFlashSize)) {
    MarkStopped(window);
    ShowStatus(window, kNotErasedText);
    return false;
  }
  return true;
}

}  // namespace

int WaitParallelFlashIdle(const std::string& devicePath) {
  for (int group = 0; group < kBusyGroupsBeforeGivingUp; ++group) {
    for (int answer = 0; answer < kBusyAnswersPerGroup; ++answer) {
      if (ParallelFlashBusy(devicePath) == 0) {
        return 1;
      }
    }
  }
  return 0;
}

int EraseParallelFlashAll(ToolWindow& window, const std::string& devicePath, int part) {
  DeclarePhases(window, {{RunStep::Erase, 70}, {RunStep::BlankCheck, 30}});
  EnterStep(window, RunStep::Erase);
  ShowStatus(window, kStartEraseOnlyText);
  if (EraseParallelFlash(devicePath, part) == 0) {
    ShowStatus(window, kPreEraseErrorText);
    return 0;
  }
  // From here the erase sequence sits in the bridge, which may have run it whatever it answers:
  // the operator is asked to power-cycle before anything else.
  if (ParallelFlashStart(devicePath) == 0) {
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  if (WaitParallelFlashIdle(devicePath) == 0) {
    ShowStatus(window, kEraseStatusFailText);
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  ShowStatus(window, kEraseOkText);
  EnterStep(window, RunStep::BlankCheck);

  AlignedBuffer readBack = AllocateWorkBuffer(kParallelFlashSize);
  if (!readBack.ok()) {
    ShowStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  if (ReadParallelFlash(devicePath, 0, readBack.data(), kParallelFlashSize) == 0) {
    ShowStatus(window, kEraseOnlyReadBackFailText);
    AskPowerCycle(window, kPowerCycleText);
    return 1;
  }
  if (!IsErased(readBack.data(), kParallelFlashSize)) {
    ShowStatus(window, kNotErasedText);
    return 0;
  }
  ClaimSuccess(window);
  ShowStatus(window, kPartErasedText);
  AskPowerCycle(window, kPowerCycleText);
  return 1;
}

int BackupParallelFlash(ToolWindow& window, const std::string& devicePath) {
  std::string path;
  if (!ChooseBackupPath(window.BackupFileName(), kDefaultBackupName, path)) {
    ShowStatus(window, kBackupNameTooLongText);
    return 0;
  }
  DeclarePhases(window, {{RunStep::Backup, 100}});
  EnterStep(window, RunStep::Backup);
  ShowStatus(window, kBackupProgressText);

  AlignedBuffer flash = AllocateWorkBuffer(kParallelFlashSize);
  if (!flash.ok()) {
    ShowStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  // A short or garbled answer would otherwise go into the file as the old firmware.
  if (const std::string_view refusal = ProvenReadRefusal(
          ReadTwiceAndCompare(CountingProvenReads(window, ParallelFlashRange(devicePath)),
                              flash.data(), kParallelFlashSize),
          kAllocateReadBufferErrorText, kReadRomFailText);
      !refusal.empty()) {
    ShowStatus(window, refusal);
    return 0;
  }
  if (const SafeWriteStatus written = WriteBackupFile(path, flash.data(), kParallelFlashSize);
      written != SafeWriteStatus::Written) {
    ShowStatus(window, BackupFailureText(written, kSaveToFileFailText));
    return 0;
  }
  ClaimSuccess(window);
  ShowStatus(window, kBackupSuccessText);
  return 1;
}

int UpdateParallelFlash(ToolWindow& window, const std::string& devicePath, int part) {
  if (!window.A1ChipTicked() && ParallelFlashEnable(devicePath) == 0) {
    ShowStatus(window, kCantSwitchToRomText);
    return 0;
  }
  // The engineering actions count only while "RD Version" shows them, as for every other
  // family: a tick left from an earlier engineering session must not turn Run into an erase.
  if (window.RdVersionTicked() && window.State().EraseOnly == 1) {
    return EraseParallelFlashAll(window, devicePath, part) == 1 ? 1 : 0;
  }
  if (window.RdVersionTicked() && window.BackupOnlyTicked()) {
    return BackupParallelFlash(window, devicePath) == 1 ? 1 : 0;
  }

  AlignedBuffer readBack = AllocateWorkBuffer(kParallelFlashSize);
  AlignedBuffer image = AllocateWorkBuffer(kParallelFlashSize);
  if (!readBack.ok() || !image.ok()) {
    ShowStatus(window, kAllocateReadBufferErrorText);
    return 0;
  }
  if (const std::string_view refusal = LoadImage(window.FirmwareFileName(), image);
      !refusal.empty()) {
    ShowStatus(window, refusal);
    return 0;
  }

  // The program command names no address, so the whole part goes in one request: a system that
  // does not carry it must stop the run while the old firmware is still there.
  if (!TransferFitsSystem(devicePath, kParallelFlashSize)) {
    ShowStatus(window, kTransferTooLargeText);
    return 0;
  }
  DeclarePhases(window, {{RunStep::Erase, 30},
                         {RunStep::BlankCheck, 10},
                         {RunStep::Program, 40},
                         {RunStep::Verify, 20}});
  if (!EraseBeforeProgramming(window, devicePath, part, readBack)) {
    return 0;
  }

  // A non-empty image of at most 64 KB always programs the whole part; bytes past the file's
  // end go in as 0x00 and are compared like the others.
  EnterStep(window, RunStep::Program);
  WaitParallelFlashIdle(devicePath);
  if (ProgramParallelFlash(devicePath, image.data(), kParallelFlashSize, part) == 0) {
    ShowStatus(window, kProgrammingFailText);
    return 0;
  }
  ShowStatus(window, kProgrammingSuccessText);

  EnterStep(window, RunStep::Verify);
  WaitParallelFlashIdle(devicePath);
  if (ReadParallelFlash(devicePath, 0, readBack.data(), kParallelFlashSize) == 0) {
    ShowStatus(window, kParallelReadFailText);
    return 0;
  }
  if (!std::equal(image.data(), image.data() + kParallelFlashSize, readBack.data())) {
    ShowStatus(window, kParallelCompareFailText);
    return 0;
  }
  ClaimSuccess(window);
  ShowStatus(window, kProgramAndCompareSuccessText);
  AskPowerCycle(window, kPowerCycleText);
  return 1;
}

}  // namespace q71x
