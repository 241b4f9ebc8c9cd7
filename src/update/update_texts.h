// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts the serial-flash procedures put in the status field, in message boxes, on the
// debugger channel and on standard output, exactly as operators and field engineers know them
// (misspellings and odd spacing included: support scripts match on them).

#include <string_view>

namespace q71x {

inline constexpr std::string_view kMessageCaptionText = "Message";

// Power-cycle requests. The full update's box has a blank before the "!", the others do not.
inline constexpr std::string_view kPowerCycleText = "Please Turn-Off the Power and Turn-On Again!";
inline constexpr std::string_view kPowerCycleAfterUpdateText =
    "Please Turn-Off the Power and Turn-On Again !";

// Erase-all and sector erase.
inline constexpr std::string_view kStartEraseOnlyText = "Start Erase only!";
inline constexpr std::string_view kEraseProgressText = "Erase...";
inline constexpr std::string_view kNotReadyAfterEraseCmdText =
    "Not ready after Erase flash cmd success";
inline constexpr std::string_view kNotReadyAfterEraseText = "Not ready after Erase flash success";
inline constexpr std::string_view kDeviceInitialNotReadyText = "0.1 Device initial not ready!!";
inline constexpr std::string_view kEraseCommandFailText = "Erase command fail!!";
inline constexpr std::string_view kDataNotBlankText = "Data not 0xff !!";
inline constexpr std::string_view kEraseAllSuccessText = "Erase flash all success!";

// Buffers.
inline constexpr std::string_view kAllocateReadBufferErrorText = "Allocate read buffer Error!!";
inline constexpr std::string_view kAllocateWriteBufferErrorText = "Allocate write buffer Error!!";
inline constexpr std::string_view kAllocateBuffersErrorText = "Allocate buffers Error!!";

// Backup.
inline constexpr std::string_view kDefaultBackupName = "oldflash.bak";
inline constexpr std::string_view kDefaultBackupBoxText =
    "Default backup firmware as OldFalsh.bak!";
inline constexpr std::string_view kBackupProgressText = "Backup ...";
inline constexpr std::string_view kReadBackToBackupErrorText = "Read Back to Backup Error!!";
inline constexpr std::string_view kOpenBackupFileErrorText = "Open Backup File Error!!";
inline constexpr std::string_view kBackupSuccessText = "Read flash and backup success!";

// Image file.
inline constexpr std::string_view kOpenFileErrorText = "Open File Error!!";

// Serial-flash update.
inline constexpr std::string_view kAtmelWriteEnableFailText =
    "Enable ATMEL flash write enable fail!!";
inline constexpr std::string_view kAmicNotSupportedText = "Not Support this AMIC Flash Type!!";
inline constexpr std::string_view kReadBackErasedErrorText = "Read Back Erased Flash Error!!";
inline constexpr std::string_view kProgrammingFailText = "Programming Fail!!";
inline constexpr std::string_view kReadFailText = "Read Fail!!\r\n";
inline constexpr std::string_view kCompareFailText = "Compare Fail!!\r\n\r\n";
inline constexpr std::string_view kProgrammingSuccessText = "Programming Success!!";
inline constexpr std::string_view kNvramReadOkLine = "NVRAM O.K.\n";
inline constexpr std::string_view kNvramReadFailLine = "NVRAM fail\n";
inline constexpr std::string_view kNvramWriteOkLine = "write NVRAM O.K.\n";

// The 16 KB block procedures.
inline constexpr std::string_view kBackupNvramFailText = "Backup NVRAM command fail!";
inline constexpr std::string_view kWriteNvramBackFailText = "Write NVRAM back command fail!";
inline constexpr std::string_view kErasingText = "Erasing";
inline constexpr std::string_view kReadBackAfterEraseFailText = "Read back after erase fail!!";
inline constexpr std::string_view kProgrammingText = "Programming";
inline constexpr std::string_view kWriteCommandFailText = "Write command fail!";
inline constexpr std::string_view kDataCompareFailText = "Data compare fail !!";

// Ours: refusals that keep a wrong input from reaching the flash or a wrong file.
inline constexpr std::string_view kWriteBackupFileErrorText =
    "Write Backup File Error!! Nothing saved.";
// (Texts of our own are short enough to be read whole in the status field.)
inline constexpr std::string_view kBackupNameIsLinkText = "Backup name is a link: nothing saved!";
inline constexpr std::string_view kBackupNameNotPlainFileText =
    "Backup name is no plain file: nothing saved!";
// A folder that is a link, or another user's while the tool runs as root.
inline constexpr std::string_view kBackupFolderRefusedText =
    "Backup folder is a link or not yours: nothing saved!";
// A file name is refused at 260 characters.
inline constexpr std::string_view kBackupNameTooLongText = "Backup file name too long!";
inline constexpr std::string_view kFirmwareNameTooLongText = "Firmware file name too long!";
inline constexpr std::string_view kEmptyImageFileText =
    "Firmware file is empty (0 bytes), nothing erased!";
inline constexpr std::string_view kImageTooLargeText =
    "Firmware file too large for the flash address range, nothing erased!";
inline constexpr std::string_view kNoFlashPageSizeText = "Flash page size not set, nothing erased!";
// The system says it carries less than a transfer the update needs after its erase.
inline constexpr std::string_view kTransferTooLargeText =
    "Transfer too large for this system, nothing erased!";
// Where the system does not say, the whole-area read tried before the erase failed.
inline constexpr std::string_view kAreaReadFailedBeforeEraseText =
    "Whole-area read failed before the erase, nothing erased!";

}  // namespace q71x
