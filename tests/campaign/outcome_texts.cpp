// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/outcome_texts.h"

#include <algorithm>

#include "src/update/df/df_family.h"
#include "src/update/disk/disk_firmware_layout.h"
#include "src/update/update_texts.h"

namespace q71x::campaign {
namespace {

// Texts only the parallel-flash and disk procedures use; they keep them inside their own files.
constexpr std::string_view kCantSwitchToRom = "Can't switch to internal ROM";
constexpr std::string_view kPreEraseError = "Error pre-erase command!!";
constexpr std::string_view kEraseStatusFail = "Erase command ok,status fail!!";
constexpr std::string_view kNotErased = "Not Erase correctly!";
constexpr std::string_view kOpenNewRomFileError = "Open New ROM File Error!!";
constexpr std::string_view kParallelReadFail = "Read Fail!!";
constexpr std::string_view kParallelCompareFail = "Compare Fail!!";
constexpr std::string_view kEraseOnlyReadBackFail = "Read Back after Erase fail!!";
constexpr std::string_view kReadRomFail = "Read ROM fail!!";
constexpr std::string_view kSaveToFileFail = "Read ROM Suceess, but save to file fail!!";
constexpr std::string_view kEraseDiskCompareFail = "Compare data in HDD fail!!";
constexpr std::string_view kDiskCompareFail = "Compare Data in HDD FAIL!!";
constexpr std::string_view kDiskWriteFail10 = "Write Data To HDD FAIL!!";
constexpr std::string_view kDiskWriteFail16 = "Write Data SCSI16 To HDD FAIL!!";
constexpr std::string_view kDiskReadFail10 = "Read Data From HDD FAIL!!";
constexpr std::string_view kDiskReadFail16 = "Read Data SCSI16 From HDD FAIL!!";

// The last: a configuration copy to be kept that two reads do not prove stops the run before
// the erase.
constexpr std::string_view kSerialUpdateFailures[] = {kAtmelWriteEnableFailText,
                                                      kOpenFileErrorText,
                                                      kAllocateReadBufferErrorText,
                                                      kAllocateWriteBufferErrorText,
                                                      kAmicNotSupportedText,
                                                      kEraseCommandFailText,
                                                      kReadBackErasedErrorText,
                                                      kDataNotBlankText,
                                                      kProgrammingFailText,
                                                      kReadFailText,
                                                      kCompareFailText,
                                                      kBackupNvramFailText,
                                                      kTransferTooLargeText,
                                                      kAreaReadFailedBeforeEraseText};

// EraseAllFlash, behind the write-enable step of the serial-flash updates.
constexpr std::string_view kSerialEraseFailures[] = {
    kAtmelWriteEnableFailText, kEraseCommandFailText, kAllocateReadBufferErrorText,
    kDataNotBlankText};

// BackupFlashToFile, behind the same step.
constexpr std::string_view kSerialBackupFailures[] = {
    kAtmelWriteEnableFailText, kAllocateReadBufferErrorText, kReadBackToBackupErrorText,
    kOpenBackupFileErrorText, kWriteBackupFileErrorText};

constexpr std::string_view kNvramUpdateFailures[] = {
    kAllocateBuffersErrorText, kBackupNvramFailText,  kAtmelWriteEnableFailText,
    kOpenFileErrorText,        kEraseCommandFailText, kReadBackAfterEraseFailText,
    kDataNotBlankText,         kWriteCommandFailText, kDataCompareFailText};

constexpr std::string_view kNvramEraseFailures[] = {
    kAllocateBuffersErrorText, kBackupNvramFailText,         kAtmelWriteEnableFailText,
    kEraseCommandFailText,     kAllocateReadBufferErrorText, kDataNotBlankText,
    kWriteNvramBackFailText};

constexpr std::string_view kNvramBackupFailures[] = {
    kAllocateBuffersErrorText,    kBackupNvramFailText,       kAtmelWriteEnableFailText,
    kAllocateReadBufferErrorText, kReadBackToBackupErrorText, kOpenBackupFileErrorText,
    kWriteBackupFileErrorText};

constexpr std::string_view kSpiUpdateFailures[] = {
    kOpenFileErrorText,          kAllocateBuffersErrorText, kEraseCommandFailText,
    kReadBackAfterEraseFailText, kDataNotBlankText,         kWriteCommandFailText,
    kDataCompareFailText};

constexpr std::string_view kDfUpdateFailures[] = {kAllocateBuffersErrorText, kBackupNvramFailText,
                                                  kOpenFileErrorText,        kWriteBinFileFailText,
                                                  kReadCommandFailText,      kDataCompareFailText};

constexpr std::string_view kDfEraseFailures[] = {
    kAllocateReadBufferErrorText, kAllocateBuffersErrorText, kBackupNvramFailText,
    kEraseCommandFailText,        kDataNotBlankText,         kWriteNvramBackFailText};

// BackupDfFlashToFile, shared by both DF families.
constexpr std::string_view kDfBackupFailures[] = {
    kAllocateReadBufferErrorText, kReadBackToBackupErrorText, kOpenBackupFileErrorText,
    kWriteBackupFileErrorText};

constexpr std::string_view kDf2EraseFailures[] = {
    kAllocateBuffersErrorText,    kBackupNvramFailText, kDf2EraseCommandFailText,
    kAllocateReadBufferErrorText, kDataNotBlankText,    kWriteNvramBackFailText};

constexpr std::string_view kParallelUpdateFailures[] = {
    kCantSwitchToRom,     kPreEraseError,       kNotErased,        kAllocateReadBufferErrorText,
    kOpenNewRomFileError, kProgrammingFailText, kParallelReadFail, kParallelCompareFail,
    kTransferTooLargeText};

// The start refused leaves "Start Erase only!" standing under the power-cycle box.
constexpr std::string_view kParallelEraseFailures[] = {
    kCantSwitchToRom,   kPreEraseError,         kEraseStatusFail,
    kNotErased,         kEraseOnlyReadBackFail, kAllocateReadBufferErrorText,
    kStartEraseOnlyText};

constexpr std::string_view kParallelBackupFailures[] = {kCantSwitchToRom,
                                                        kAllocateReadBufferErrorText, kReadRomFail,
                                                        kSaveToFileFail, kWriteBackupFileErrorText};

constexpr std::string_view kDiskUpdateFailures[] = {
    kOpenFileErrorText,      kAllocateReadBufferErrorText,
    kDiskWriteFail10,        kDiskWriteFail16,
    kDiskReadFail10,         kDiskReadFail16,
    kDiskCompareFail,        kDiskBlockSizeErrorText,
    kFwAreaPositionErrorText};

// A failed transfer is its own failure, not a compare of two zero buffers (judged fault).
constexpr std::string_view kDiskEraseFailures[] = {kAllocateReadBufferErrorText,
                                                   kEraseDiskCompareFail,
                                                   kDiskWriteFail10,
                                                   kDiskWriteFail16,
                                                   kDiskReadFail10,
                                                   kDiskReadFail16,
                                                   kDiskBlockSizeErrorText,
                                                   kFwAreaPositionErrorText};

// Every backup failure ends on "Read Back to Backup Error!!".
constexpr std::string_view kDiskBackupFailures[] = {
    kReadBackToBackupErrorText, kDiskBlockSizeErrorText, kFwAreaPositionErrorText};

// The failure table of each procedure and action.
std::span<const std::string_view> FailureTextsFor(UpdateProcedure procedure,
                                                  EngineeringAction action) {
  auto serial = [action](std::span<const std::string_view> update,
                         std::span<const std::string_view> erase,
                         std::span<const std::string_view> backup) {
    switch (action) {
      case EngineeringAction::Update:
        return update;
      case EngineeringAction::EraseOnly:
        return erase;
      case EngineeringAction::BackupOnly:
        return backup;
    }
    return std::span<const std::string_view>();
  };
  switch (procedure) {
    case UpdateProcedure::None:
      return {};
    case UpdateProcedure::UpdateSerialFlash:
      return serial(kSerialUpdateFailures, kSerialEraseFailures, kSerialBackupFailures);
    case UpdateProcedure::UpdateFlashWithNvram:
      return serial(kNvramUpdateFailures, kNvramEraseFailures, kNvramBackupFailures);
    case UpdateProcedure::UpdateSerialFlashSpi:
      return serial(kSpiUpdateFailures, kSerialEraseFailures, kSerialBackupFailures);
    case UpdateProcedure::UpdateDfFlash:
      return serial(kDfUpdateFailures, kDfEraseFailures, kDfBackupFailures);
    case UpdateProcedure::UpdateDf2Flash:
      return serial(kDfUpdateFailures, kDf2EraseFailures, kDfBackupFailures);
    case UpdateProcedure::UpdateParallelFlash:
      return serial(kParallelUpdateFailures, kParallelEraseFailures, kParallelBackupFailures);
    case UpdateProcedure::UpdateDiskFirmware:
      return serial(kDiskUpdateFailures, kDiskEraseFailures, kDiskBackupFailures);
  }
  return {};
}

}  // namespace

OutcomeTexts TextsFor(UpdateProcedure procedure, EngineeringAction action) {
  return OutcomeTexts{FailureTextsFor(procedure, action)};
}

bool IsOneOf(std::span<const std::string_view> texts, const std::string& text) {
  return std::any_of(texts.begin(), texts.end(),
                     [&text](std::string_view candidate) { return candidate == text; });
}

}  // namespace q71x::campaign
