// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The end of an erase-only action that keeps the configuration area: the area written back, or
// where that did not take, put back by the restore. Once the area is proven in place the
// erase's own outcome stands; the operator hears of the area only when it is gone.

#include <functional>

#include "src/update/journal/kept_area_journal.h"
#include "src/update/tool_window.h"

namespace q71x {

// `writeBack`: true when the area was written and reads back as saved. `restore`: 1 when the
// area reads back as saved afterwards. True when the area is in place (the journal's entry is
// closed); false after "Write NVRAM back command fail!" in the status field.
bool PutKeptAreaBack(ToolWindow& window, KeptAreaJournalEntry& journal,
                     const std::function<bool()>& writeBack, const std::function<int()>& restore);

}  // namespace q71x
