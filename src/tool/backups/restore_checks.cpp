// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/backups/restore_checks.h"

#include <algorithm>
#include <optional>
#include <system_error>

#include "src/host/utf8_path.h"
#include "src/host/whole_file.h"
#include "src/tool/backups/device_comparison.h"
#include "src/update/update_footprint.h"

namespace q71x {
namespace {

RestoreVerdict Refuse(std::string why) {
  RestoreVerdict verdict;
  verdict.Decision = RestoreDecision::Refuse;
  verdict.Refusal = std::move(why);
  return verdict;
}

// Empty when every byte the restore programs outside the areas it keeps is the backup's own
// byte at its own address.
std::string WhyNotCovered(const KeptBackup& backup, const std::vector<std::uint8_t>& bytes,
                          const UpdateFootprint& footprint) {
  const std::uint64_t from = backup.Facts.Offset;
  const std::uint64_t to = from + bytes.size();
  for (std::uint64_t offset = 0; offset < footprint.Programmed.size(); ++offset) {
    if (InKeptRange(footprint.Kept, offset)) {
      continue;
    }
    if (offset < from || offset >= to) {
      return "the restore would write " + HexOffset(footprint.Programmed.size()) +
             " bytes from address 0, and the backup holds " + HexOffset(from) + ".." +
             HexOffset(to) + " only (the first byte it lacks is at " + HexOffset(offset) + ")";
    }
    if (footprint.Programmed[offset] != bytes[offset - from]) {
      return "the restore would not put the backup's byte at " + HexOffset(offset) +
             " back where it was read";
    }
  }
  return {};
}

// The value every byte of the backup holds outside the areas the restore keeps, when that is an
// erased one: flash erases to FF, the disk-kept families' erase leaves zeros (and the area
// descriptor, which the restore keeps).
std::optional<std::uint8_t> ErasedFill(const KeptBackup& backup,
                                       const std::vector<std::uint8_t>& bytes,
                                       const UpdateFootprint& footprint) {
  std::optional<std::uint8_t> fill;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (InKeptRange(footprint.Kept, backup.Facts.Offset + at)) {
      continue;
    }
    if (!fill) {
      fill = bytes[at];
    }
    if (bytes[at] != *fill) {
      return std::nullopt;
    }
  }
  return fill == 0xFF || fill == 0x00 ? fill : std::nullopt;
}

// Judges whether the backup is of this unit; adds a note or refuses.
void JudgeUnit(const KeptBackup& backup, const DeviceFacts& device, bool unitOverridden,
               RestoreVerdict& verdict) {
  const BackupRecord& record = backup.Facts;
  const std::string deviceId = UnitId(device.Unit);
  const std::string recordId = record.HasIdentity ? UnitId(record.Unit) : "no recorded unit";
  std::string why;
  const UnitMatch match = MatchUnits(record.Unit, device.Unit, &why);
  if (match == UnitMatch::Different || !SameModel(record, device)) {
    verdict = Refuse(
        "the backup was read from a " + record.Chip + " rev " +
        std::to_string(record.ChipRevision) + " (unit " + recordId + "), this device is a " +
        device.Chip + " rev " + std::to_string(device.ChipRevision) + " (unit " + deviceId +
        "): " + (match == UnitMatch::Different ? why : "the chip, revision or flash differs"));
    return;
  }
  if (match == UnitMatch::Same) {
    return;
  }
  if (record.HasIdentity && !record.Unit.HasStrongFacet() && !device.Unit.HasStrongFacet()) {
    verdict.Notes.push_back("neither " + deviceId + " nor the backup's unit " + recordId +
                            " has a serial number or GUID: the backup is taken as this unit's by "
                            "chip, revision and flash");
    return;
  }
  const std::string unproven = record.HasIdentity
                                   ? "the backup of unit " + recordId +
                                         " cannot be proven to be of " + deviceId + " (" + why + ")"
                                   : "the record names no unit (an earlier version wrote it): it "
                                     "cannot be proven to be of " +
                                         deviceId;
  if (!unitOverridden) {
    verdict =
        Refuse(unproven + "; give --force --unit " + deviceId + " to restore it all the same");
    return;
  }
  verdict.Notes.push_back(unproven + "; restored because of --force --unit " + deviceId);
}

}  // namespace

std::string WhyOutsideRecordFolder(const KeptBackup& backup) {
  const std::filesystem::path named = PathFromUtf8(backup.Facts.File);
  if (named.empty() || named.has_parent_path() || named.is_absolute() || named == "." ||
      named == "..") {
    return "the record names \"" + backup.Facts.File + "\", not a file beside it";
  }
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(backup.File, error);
  if (status.type() != std::filesystem::file_type::regular) {
    return PathToUtf8(backup.File) + " is not a plain file (a link is never followed)";
  }
  std::error_code recordError;
  const std::filesystem::path fileFolder =
      std::filesystem::canonical(backup.File, error).parent_path();
  const std::filesystem::path recordFolder =
      std::filesystem::canonical(backup.Record, recordError).parent_path();
  if (error || recordError || fileFolder != recordFolder) {
    return PathToUtf8(backup.File) + " is not in the folder of its record";
  }
  return {};
}

bool SameModel(const BackupRecord& record, const DeviceFacts& device) {
  const bool flashAgrees = record.Unit.FlashId.empty() || device.Unit.FlashId.empty()
                               ? record.Flash == device.FlashText
                               : record.Unit.FlashId == device.Unit.FlashId;
  return record.Chip == device.Chip && record.ChipType == device.ChipType &&
         record.ChipRevision == device.ChipRevision && flashAgrees;
}

RestoreVerdict JudgeRestore(const KeptBackup& backup, const DeviceFacts& device, ToolWindow& window,
                            bool force, bool unitOverridden) {
  const BackupRecord& record = backup.Facts;
  if (!backup.Unreadable.empty()) {
    return Refuse("the record " + PathToUtf8(backup.Record) +
                  " cannot be used: " + backup.Unreadable);
  }
  if (const std::string why = WhyOutsideRecordFolder(backup); !why.empty()) {
    return Refuse(why);
  }
  if (!backup.Intact) {
    return Refuse("the backup is damaged: its bytes are not the " + std::to_string(record.Size) +
                  " bytes with the SHA-256 its record names");
  }
  RestoreVerdict verdict;
  JudgeUnit(backup, device, unitOverridden, verdict);
  if (verdict.Decision == RestoreDecision::Refuse) {
    return verdict;
  }
  const std::string procedure(UpdateProcedureName(device.Procedure));
  if (procedure.empty()) {
    return Refuse("this device has no update procedure to write the backup with");
  }
  if (record.Procedure != procedure) {
    return Refuse("the backup was read through " + record.Procedure +
                  ", this device updates through " + procedure +
                  ": its bytes are not an image that procedure takes");
  }
  if (record.Offset + record.Size < device.FirmwareSize) {
    return Refuse("the backup holds " + std::to_string(record.Size) + " bytes from " +
                  HexOffset(record.Offset) + ", not the whole firmware memory of " +
                  std::to_string(device.FirmwareSize));
  }
  const std::vector<std::uint8_t> bytes =
      ReadWholeFile(backup.File).value_or(std::vector<std::uint8_t>());
  const UpdateFootprint footprint =
      PlanUpdateFootprint(device.Procedure, window, PathToUtf8(backup.File), bytes);
  if (!footprint.Refusal.empty()) {
    return Refuse("the update would not take the backup: " + footprint.Refusal);
  }
  if (const std::string why = WhyNotCovered(backup, bytes, footprint); !why.empty()) {
    return Refuse(why);
  }
  if (const std::optional<std::uint8_t> fill = ErasedFill(backup, bytes, footprint)) {
    const std::string erased =
        std::string("the backup is erased memory (every byte the restore writes is ") +
        (*fill == 0xFF ? "FF" : "00") + "): it was taken after an erase and holds no firmware";
    if (!force) {
      return Refuse(erased + "; give --force to write it all the same");
    }
    verdict.Notes.push_back(erased + "; restored because of --force");
  }
  return verdict;
}

}  // namespace q71x
