// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts the window shows, exactly as operators have always seen them (misspellings kept),
// and the few of our own, short enough to be read whole in the status field.

#include <string_view>

namespace q71x {

inline constexpr std::string_view kWindowCaption = " QV4071x FW Update Utility v1.16.00";
inline constexpr std::string_view kMessageCaption = "Message";

inline constexpr std::string_view kNoDeviceItem = "No available device!!!";
inline constexpr std::string_view kUsbItemPrefix = "<<USB>> ";
inline constexpr std::string_view k1394ItemPrefix = "<<1394>> ";
// The item of a bridge another program owns: it is sent nothing, so its own name is not known.
inline constexpr std::string_view kInUseItemText = "(in use by another program)";
inline constexpr std::string_view kUsbDiskCaption = "USB DISK";
inline constexpr std::string_view k1394DiskCaption = "1394 DISK";

inline constexpr std::string_view kDropOneFileText = "Please Drag and Drop One File Only!";
inline constexpr std::string_view kFileMismatchText =
    "The firmware file seems not match this chip!";
inline constexpr std::string_view kChipNotSupportedText = "The chip not support Firmware Update!";
inline constexpr std::string_view kNotQuvarisChipText = "Not Quvaris Chip!!";
inline constexpr std::string_view kUpdateBtnPressDebugText = "Update Btn Press\n";

// Ours: the backup name's dialog offers backups first.
inline constexpr std::string_view kBackupFileFilter = "Backup Files|*.bak|All Files|*.*";
// Ours: the parallel-flash part is taken only from the list, never from a typed text.
inline constexpr std::string_view kFlashTypeNotListedText = "Choose a Flash Type from the list!";

// Ours: the recovery journal. The question and the problem are followed by the file's name.
inline constexpr std::string_view kJournalCaption = "Recovery Journal";
inline constexpr std::string_view kJournalQuestionText =
    "The last update of this device was cut off after its NVRAM was erased. The NVRAM saved "
    "before it is kept in the recovery journal. Write the saved NVRAM back now?";
inline constexpr std::string_view kJournalRestoredText = "Write NVRAM back from journal Success!!";
inline constexpr std::string_view kJournalRestoreFailText =
    "Write NVRAM back from journal fail! The journal keeps it.";
// Ours: Run refused while the journal keeps an area the device lost.
inline constexpr std::string_view kJournalPendingRunText =
    "Recovery pending! The journal keeps NVRAM this device lost.";
inline constexpr std::string_view kJournalProblemText =
    "A file in the recovery journal is not one this tool wrote. It is left as it is; look at it "
    "or move it away:";
// An entry that may be this device's but is not proven to be, and more than one that may be:
// followed by the files, the units and why; nothing is written to the device.
inline constexpr std::string_view kJournalUnprovenText =
    "The recovery journal keeps an NVRAM that may come from another enclosure of this model, so "
    "it is not written back. Only the command line's --force with this device's id puts it "
    "back.";
inline constexpr std::string_view kJournalSeveralText =
    "More than one NVRAM in the recovery journal may be this device's, so none is written back. "
    "Move away all but the right one:";

}  // namespace q71x
