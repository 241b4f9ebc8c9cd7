// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/journal_area_restore.h"

#include <cstring>

#include "src/update/df/df_config_area.h"
#include "src/update/flash_write_access.h"
#include "src/update/journal/kept_area_restore.h"
#include "src/update/update_procedure.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

using DfRestore = int (*)(ToolWindow&, const std::string&, const AlignedBuffer&);

bool Named(const JournalEntry& entry, UpdateProcedure procedure) {
  return entry.Procedure == UpdateProcedureName(procedure);
}

// The DF restores read the area first and write nothing where it is in place.
int RestoreDfArea(ToolWindow& window, const std::string& devicePath, const JournalEntry& entry,
                  DfRestore restore) {
  AlignedBuffer saved = AllocateWorkBuffer(entry.Area.size());
  if (!saved.ok()) {
    return 0;
  }
  std::memcpy(saved.data(), entry.Area.data(), entry.Area.size());
  return restore(window, devicePath, saved);
}

// A device that holds the area already is sent nothing that changes it, not even the unprotect
// that opens the flash for writing: its entry only has to be closed.
int RestoreSerialArea(ToolWindow& window, const std::string& devicePath,
                      const JournalEntry& entry) {
  const KeptArea area{entry.AreaAddress, entry.EraseAddress, entry.Area.data(),
                      static_cast<std::uint32_t>(entry.Area.size())};
  if (KeptAreaInPlace(devicePath, area)) {
    return 1;
  }
  if (OpenFlashForWrite(window, devicePath, StatusStyle::Post) == 0) {
    return 0;
  }
  return RestoreKeptArea(devicePath, area);
}

}  // namespace

int RestoreJournalArea(ToolWindow& window, const std::string& devicePath,
                       const JournalEntry& entry) {
  // Only an area its procedure really keeps, where it keeps it: anything else is not ours to
  // write, whatever its check line says.
  if (!EntryAreaProblem(entry).empty()) {
    return 0;
  }
  if (Named(entry, UpdateProcedure::UpdateDfFlash)) {
    return RestoreDfArea(window, devicePath, entry, RestoreDfConfigArea);
  }
  if (Named(entry, UpdateProcedure::UpdateDf2Flash)) {
    return RestoreDfArea(window, devicePath, entry, RestoreDf2ConfigArea);
  }
  if (Named(entry, UpdateProcedure::UpdateSerialFlash) ||
      Named(entry, UpdateProcedure::UpdateFlashWithNvram)) {
    return RestoreSerialArea(window, devicePath, entry);
  }
  return 0;
}

}  // namespace q71x
