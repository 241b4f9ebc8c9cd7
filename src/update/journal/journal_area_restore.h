// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// An open recovery-journal entry put back on the device it names, the way the procedure that
// kept the area writes it back: the serial-flash procedures through the flash opened for
// writing, the DF family and its 1394 sibling through the bridge's own write command. The chip
// check must have run on the device first: the flash facts it leaves are what the writes use.

#include <string>

#include "src/update/journal/recovery_journal.h"
#include "src/update/tool_window.h"

namespace q71x {

// 1 when the area reads back as the entry keeps it. 0 when it does not, and for an entry whose
// procedure or area is not one this tool keeps (nothing is written then).
int RestoreJournalArea(ToolWindow& window, const std::string& devicePath,
                       const JournalEntry& entry);

}  // namespace q71x
