// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/restore_verb.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "src/app/cli/report_json.h"
#include "src/app/cli/verb_steps.h"
#include "src/host/utf8_path.h"
#include "src/tool/backups/auto_backup.h"
#include "src/tool/backups/kept_backups.h"
#include "src/tool/backups/restore_checks.h"

namespace q71x::cli {
namespace {

struct ChosenBackup {
  std::optional<KeptBackup> Backup;
  VerbOutcome Refusal;
  std::string Note;  // how it was chosen, when no serial number or GUID decided
};

// A refused restore exits as an image that does not belong to the chip would: scripts already
// branch on that code for "this file is not for this device".
ExitCode ExitCodeOf(RestoreDecision decision) {
  return decision == RestoreDecision::Refuse ? ExitCode::ImageRefused : ExitCode::Success;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// The file named on the command line, through the record beside it.
ChosenBackup NamedBackup(const std::string& file) {
  const std::filesystem::path path = PathFromUtf8(file);
  std::filesystem::path record = RecordPathOf(path);
  std::error_code error;
  if (!std::filesystem::exists(record, error)) {
    // Earlier versions named the record after the backup with its extension changed.
    record = std::filesystem::path(path).replace_extension(".json");
  }
  if (!std::filesystem::exists(record, error)) {
    return {std::nullopt,
            Fail(ExitCode::ImageRefused, file + " has no record of this program beside it (" +
                                             PathToUtf8(RecordPathOf(path)) +
                                             "); without it the backup cannot be checked"),
            {}};
  }
  KeptBackup backup = ReadKeptBackup(record);
  if (backup.Unreadable.empty() && !SameFile(backup.File, path)) {
    return {std::nullopt,
            Fail(ExitCode::ImageRefused,
                 "the record " + PathToUtf8(record) + " is not the record of " + file),
            {}};
  }
  return {std::move(backup), {}, {}};
}

// How a kept backup fits the device, best first.
enum class Fit {
  Proven,      // a serial number or GUID held by both agrees, nothing contradicts
  ByModel,     // neither holds one: chip, revision and flash are all there is to go by
  Unprovable,  // of the model, but a serial or GUID only one side holds (or an old record)
  None,        // of another unit or model
};

Fit FitOf(const BackupRecord& record, const DeviceFacts& device) {
  if (!SameModel(record, device)) {
    return Fit::None;
  }
  switch (MatchUnits(record.Unit, device.Unit, nullptr)) {
    case UnitMatch::Same:
      return Fit::Proven;
    case UnitMatch::Different:
      return Fit::None;
    case UnitMatch::Unproven:
      break;
  }
  return record.HasIdentity && !record.Unit.HasStrongFacet() && !device.Unit.HasStrongFacet()
             ? Fit::ByModel
             : Fit::Unprovable;
}

// The newest of one fit, and the newest of it taken through the device's path.
struct Newest {
  std::optional<KeptBackup> Any;
  std::optional<KeptBackup> OnPath;
  std::size_t Count = 0;
};

// The newest intact automatic backup of the unit, never one chosen by the device path alone:
// the newest proven to be of the unit; for a device without a serial number or GUID, the newest
// of its model without one either, the path breaking the tie; the newest of its model that cannot
// be proven only when the operator named the unit (--force --unit ID).
ChosenBackup NewestBackup(const DeviceFacts& device, const CliEnvironment& env,
                          bool unitOverridden) {
  if (env.DataFolder.empty()) {
    return {
        std::nullopt, Fail(ExitCode::Usage, "no data folder to find backups in; give BACKUP"), {}};
  }
  Newest fits[3];
  // Listed oldest first: the last one that fits is the newest.
  for (KeptBackup& backup : ListKeptBackups(AutoBackupFolder(env.DataFolder))) {
    const Fit fit =
        backup.Unreadable.empty() && backup.Intact ? FitOf(backup.Facts, device) : Fit::None;
    if (fit == Fit::None) {
      continue;
    }
    Newest& newest = fits[static_cast<int>(fit)];
    ++newest.Count;
    if (backup.Facts.Device == device.Path) {
      newest.OnPath = backup;
    }
    newest.Any = std::move(backup);
  }
  const std::string id = UnitId(device.Unit);
  if (fits[0].Any) {
    return {std::move(fits[0].Any), {}, {}};
  }
  Newest& chosen = fits[1].Any ? fits[1] : fits[2];
  if (!chosen.Any) {
    return {std::nullopt,
            Fail(ExitCode::Usage, "no intact automatic backup of unit " + id + " (" + device.Path +
                                      "); give BACKUP"),
            {}};
  }
  if (!fits[1].Any && !unitOverridden) {
    return {std::nullopt,
            Fail(ExitCode::Usage,
                 "no automatic backup is proven to be of unit " + id + " (" + device.Path +
                     "): " + std::to_string(chosen.Count) +
                     " of its model hold a serial number or GUID the device does not show now, "
                     "or none; give --force --unit " +
                     UnitId(device.Unit) + " to take the newest of them, or give BACKUP"),
            {}};
  }
  const bool onPath = chosen.OnPath.has_value();
  std::string note =
      "the backup was chosen among those of its model (" + id +
      " cannot be proven to be the unit of any)" +
      (onPath ? ", taken through " + device.Path : "; none was taken through " + device.Path);
  return {onPath ? std::move(chosen.OnPath) : std::move(chosen.Any), {}, std::move(note)};
}

}  // namespace

VerbOutcome Restore(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                    const DeviceFacts& device) {
  if (auto foreign = ForeignUnitNamed(request, device)) {
    return *foreign;
  }
  const bool unitOverridden = UnitOverridden(request, device);
  ChosenBackup chosen =
      request.File.empty() ? NewestBackup(device, env, unitOverridden) : NamedBackup(request.File);
  if (!chosen.Backup) {
    return chosen.Refusal;
  }
  if (auto stop = RecoveryFirst(device)) {
    return *stop;
  }
  const KeptBackup& backup = *chosen.Backup;
  VerbOutcome outcome;
  outcome.Data["backup"] = KeptBackupJson(backup);
  const RestoreVerdict verdict =
      JudgeRestore(backup, device, session.Window(), request.Force, unitOverridden);
  if (verdict.Decision == RestoreDecision::Refuse) {
    VerbOutcome refused = Fail(ExitCodeOf(verdict.Decision), "not restored: " + verdict.Refusal);
    refused.Data = outcome.Data;
    return refused;
  }
  if (!chosen.Note.empty()) {
    *env.Err << "note: " << chosen.Note << "\n";
  }
  for (const std::string& note : verdict.Notes) {
    *env.Err << "note: " << note << "\n";
  }
  const std::string file = PathToUtf8(backup.File);
  if (!Confirmed("Restore " + device.Path + " (" + device.Chip + ") from " + file + " of " +
                     backup.Facts.Created + "?",
                 request, env)) {
    return NotConfirmed(env);
  }
  // The restore changes what an update with the backup as its image changes.
  if (auto stop =
          BackupFirst(session, device, request, env, outcome, UpdateReach(session, device, file))) {
    return *stop;
  }
  // The record vouches for the chip; the chip check's header test does not know backups, which
  // hold the configuration areas too, so its override is taken as Load File offers it.
  const ImageCheck check = session.GiveImage(file, true);
  outcome.Data["image"] = ImageCheckJson(check);
  if (!check.RunAllowed) {
    VerbOutcome refused =
        Fail(ExitCode::ImageRefused, "not restored: the update does not take " + file +
                                         (check.Status.empty() ? "" : ": " + check.Status));
    refused.Data = outcome.Data;
    return refused;
  }
  if (check.Forced) {
    *env.Err << "note: the chip check does not take the backup for an image of " << device.Chip
             << "; it is written on its record's word (chip and SHA-256 checked)\n";
  }
  Judge(outcome, session.RunUpdate());
  return outcome;
}

}  // namespace q71x::cli
