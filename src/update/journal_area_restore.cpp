#include "src/update/journal_area_restore.h"

#include <cstring>

#include "src/update/df_config_area.h"
#include "src/update/df_family.h"
#include "src/update/flash_write_access.h"
#include "src/update/image_source.h"
#include "src/update/kept_area_restore.h"
#include "src/update/update_procedure.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

using DfRestore = int (*)(ToolWindow&, const std::string&, const AlignedBuffer&);

bool Named(const JournalEntry& entry, UpdateProcedure procedure) {
  return entry.Procedure == UpdateProcedureName(procedure);
}

// The DF families keep one area each, at one place: anything else is not theirs to write.
int RestoreDfArea(ToolWindow& window, const std::string& devicePath, const JournalEntry& entry,
                  std::uint32_t address, std::uint32_t length, DfRestore restore) {
  if (entry.AreaAddress != address || entry.Area.size() != length) {
    return 0;
  }
  AlignedBuffer saved = AllocateWorkBuffer(length);
  if (!saved.ok()) {
    return 0;
  }
  std::memcpy(saved.data(), entry.Area.data(), length);
  return restore(window, devicePath, saved);
}

int RestoreSerialArea(ToolWindow& window, const std::string& devicePath,
                      const JournalEntry& entry) {
  if (entry.Area.empty() || entry.AreaAddress >= kFlashAddressSpace ||
      entry.Area.size() > kFlashAddressSpace - entry.AreaAddress) {
    return 0;
  }
  if (OpenFlashForWrite(window, devicePath, StatusStyle::Post) == 0) {
    return 0;
  }
  return RestoreKeptArea(devicePath,
                         KeptArea{entry.AreaAddress, entry.EraseAddress, entry.Area.data(),
                                  static_cast<std::uint32_t>(entry.Area.size())});
}

}  // namespace

int RestoreJournalArea(ToolWindow& window, const std::string& devicePath,
                       const JournalEntry& entry) {
  if (Named(entry, UpdateProcedure::UpdateDfFlash)) {
    return RestoreDfArea(window, devicePath, entry, 0, kDfNvramSize, RestoreDfConfigArea);
  }
  if (Named(entry, UpdateProcedure::UpdateDf2Flash)) {
    return RestoreDfArea(window, devicePath, entry, kDf2NvramAddress, kDf2NvramSize,
                         RestoreDf2ConfigArea);
  }
  if (Named(entry, UpdateProcedure::UpdateSerialFlash) ||
      Named(entry, UpdateProcedure::UpdateFlashWithNvram)) {
    return RestoreSerialArea(window, devicePath, entry);
  }
  return 0;
}

}  // namespace q71x
