#include "src/app/cli/restore_verb.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "src/app/cli/auto_backup.h"
#include "src/app/cli/kept_backups.h"
#include "src/app/cli/report_json.h"
#include "src/app/cli/verb_steps.h"

namespace q71x::cli {
namespace {

struct ChosenBackup {
  std::optional<KeptBackup> Backup;
  VerbOutcome Refusal;
};

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// The file named on the command line, through the record beside it.
ChosenBackup NamedBackup(const std::string& file) {
  const std::filesystem::path record = std::filesystem::path(file).replace_extension(".json");
  std::optional<KeptBackup> backup = ReadKeptBackup(record);
  if (!backup) {
    return {std::nullopt, Fail(ExitCode::ImageRefused,
                               file + " has no record of this program beside it (" +
                                   record.string() + "); without it the backup cannot be checked")};
  }
  if (!SameFile(backup->File, file)) {
    return {std::nullopt, Fail(ExitCode::ImageRefused,
                               "the record " + record.string() + " is not the record of " + file)};
  }
  return {std::move(backup), {}};
}

// The newest intact automatic backup of the device.
ChosenBackup NewestBackup(const DeviceFacts& device, const CliEnvironment& env) {
  if (env.DataFolder.empty()) {
    return {std::nullopt, Fail(ExitCode::Usage, "no data folder to find backups in; give BACKUP")};
  }
  std::optional<KeptBackup> newest;
  for (KeptBackup& backup : ListKeptBackups(AutoBackupFolder(env.DataFolder))) {
    // Listed oldest first: the last one that fits is the newest.
    if (backup.Device == device.Path && backup.Intact) {
      newest = std::move(backup);
    }
  }
  if (!newest) {
    return {std::nullopt, Fail(ExitCode::Usage,
                               "no intact automatic backup of " + device.Path + "; give BACKUP")};
  }
  return {std::move(newest), {}};
}

// Empty when the backup may be written to the device as its update's image.
std::string WhyNotWritable(const KeptBackup& backup, const DeviceFacts& device) {
  if (!backup.Intact) {
    return "the backup is damaged: its bytes are not the " + std::to_string(backup.Size) +
           " bytes with the SHA-256 its record names";
  }
  if (backup.Chip != device.Chip || backup.ChipType != device.ChipType) {
    return "the backup was read from a " + backup.Chip + ", this device is a " + device.Chip;
  }
  const std::string procedure(UpdateProcedureName(device.Procedure));
  if (procedure.empty()) {
    return "this device has no update procedure to write the backup with";
  }
  if (backup.Procedure != procedure) {
    return "the backup was read through " + backup.Procedure + ", this device updates through " +
           procedure + ": its bytes are not an image that procedure takes";
  }
  // A backup that left out the configuration area would land 4 KB off.
  if (backup.Size != device.FirmwareSize) {
    return "the backup holds " + std::to_string(backup.Size) +
           " bytes, not the whole firmware memory of " + std::to_string(device.FirmwareSize);
  }
  return {};
}

}  // namespace

VerbOutcome Restore(CliSession& session, const VerbRequest& request, CliEnvironment& env,
                    const DeviceFacts& device) {
  ChosenBackup chosen =
      request.File.empty() ? NewestBackup(device, env) : NamedBackup(request.File);
  if (!chosen.Backup) {
    return chosen.Refusal;
  }
  const KeptBackup& backup = *chosen.Backup;
  VerbOutcome outcome;
  outcome.Data["backup"] = KeptBackupJson(backup);
  if (const std::string why = WhyNotWritable(backup, device); !why.empty()) {
    VerbOutcome refused = Fail(ExitCode::ImageRefused, "not restored: " + why);
    refused.Data = outcome.Data;
    return refused;
  }
  const std::string file = backup.File.string();
  if (!Confirmed("Restore " + device.Path + " (" + device.Chip + ") from " + file + " of " +
                     backup.Created + "?",
                 request, env)) {
    return NotConfirmed(env);
  }
  if (auto stop = BackupFirst(session, device, request, env, outcome)) {
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
