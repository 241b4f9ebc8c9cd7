// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/verbs.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>

#include "src/app/cli/device_choice.h"
#include "src/app/cli/report_json.h"
#include "src/app/cli/restore_verb.h"
#include "src/app/cli/verb_steps.h"
#include "src/app/cli/verify_verb.h"
#include "src/host/utf8_path.h"
#include "src/tool/backups/auto_backup.h"
#include "src/tool/backups/backup_record.h"
#include "src/tool/backups/kept_backups.h"

namespace q71x::cli {
namespace {

VerbOutcome InUse(const std::string& path, long pid) {
  return Fail(ExitCode::InUse,
              path + " is in use by " +
                  (pid > 0 ? "process " + std::to_string(pid) : std::string("another program")) +
                  "; nothing was sent to it");
}

VerbOutcome List(HeadlessSession& session, CliEnvironment&) {
  VerbOutcome outcome;
  outcome.Data["devices"] = nlohmann::json::array();
  for (int i = 0; i < session.DeviceCount(); ++i) {
    outcome.Data["devices"].push_back(DeviceJson(session.Select(i)));
  }
  outcome.Message = std::to_string(session.DeviceCount()) + " device(s)";
  return outcome;
}

// info: the check asks whether an area the journal keeps for the device goes back; the answer
// was given as the check ran, and its outcome is the check's last box.
// An entry the journal refuses to put back is reported; asked for with --yes, it is a failure.
VerbOutcome Info(HeadlessSession&, const VerbRequest& request, CliEnvironment&,
                 const DeviceFacts& device) {
  if (auto foreign = ForeignUnitNamed(request, device)) {
    return *foreign;
  }
  if (device.RecoveryConfirmed) {
    const std::string said = device.Boxes.empty() ? std::string() : device.Boxes.back();
    return Fail(device.RecoveryPending ? ExitCode::OperationFailed : ExitCode::Success, said);
  }
  VerbOutcome outcome;
  outcome.Message = device.Chip;
  if (!device.RecoveryRefusal.empty()) {
    outcome.Message += "; recovery refused: " + RecoveryRefusal(device);
    outcome.Code = request.Yes ? ExitCode::OperationFailed : ExitCode::Success;
  } else if (device.RecoveryPending) {
    outcome.Message +=
        "; recovery pending: the recovery journal keeps its configuration area "
        "(give --yes to put it back)";
  }
  return outcome;
}

VerbOutcome Update(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                   const DeviceFacts& device) {
  if (auto stop = RecoveryFirst(device)) {
    return *stop;
  }
  VerbOutcome outcome = CheckImage(session, request, device);
  if (outcome.Code == ExitCode::ImageRefused && request.Force) {
    outcome = VerbOutcome{};
    *env.Err << "warning: the image does not seem to match " << device.Chip
             << "; taking it because of --force\n";
  } else if (outcome.Code != ExitCode::Success) {
    return outcome;
  }
  if (!Confirmed("Update " + device.Path + " (" + device.Chip + ") with " + request.File + "?",
                 request, env)) {
    return NotConfirmed(env);
  }
  if (auto stop = BackupFirst(session, device, request, env, outcome,
                              UpdateReach(session, device, request.File))) {
    return *stop;
  }
  // The backup's action boxes were unticked again; the image is given anew.
  const ImageCheck check = session.GiveImage(request.File, request.Force);
  outcome.Data["image"] = ImageCheckJson(check);
  if (!check.RunAllowed) {
    return Fail(ExitCode::ImageRefused, "image refused");
  }
  Judge(outcome, session.RunUpdate());
  return outcome;
}

VerbOutcome Erase(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                  const DeviceFacts& device) {
  if (auto stop = RecoveryFirst(device)) {
    return *stop;
  }
  VerbOutcome outcome;
  if (!Confirmed("Erase the firmware of " + device.Path + " (" + device.Chip + ")?", request,
                 env)) {
    return NotConfirmed(env);
  }
  // The erase-only action erases the firmware size from address 0.
  if (auto stop = BackupFirst(session, device, request, env, outcome, device.FirmwareSize)) {
    return *stop;
  }
  Judge(outcome, session.RunAction(EngineeringAction::EraseOnly));
  return outcome;
}

VerbOutcome Backup(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                   const DeviceFacts& device) {
  VerbOutcome outcome;
  // Both names are refused before anything is read: the record is created anew, and a backup
  // read only to be refused its record would be of no use.
  const std::filesystem::path file = PathFromUtf8(request.File);
  for (const std::filesystem::path& taken : {file, RecordPathOf(file)}) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(taken, error))) {
      return Fail(ExitCode::Usage, PathToUtf8(taken) + " exists; backups never overwrite");
    }
  }
  const RunReport run = session.RunAction(EngineeringAction::BackupOnly, request.File);
  Judge(outcome, run);
  outcome.Data["file"] = request.File;
  if (run.Claimed) {
    // The record beside it is what lets `restore` check the file before writing it back.
    const AutoBackup recorded = RecordBackup(device, run, file, device.FirmwareSize, env.Now());
    outcome.Data["record"] = PathToUtf8(recorded.Record);
    if (!recorded.Proven) {
      outcome.Code = ExitCode::OperationFailed;
      outcome.Message = recorded.Problem;
    }
  }
  return outcome;
}

VerbOutcome Backups(HeadlessSession&, CliEnvironment& env) {
  VerbOutcome outcome;
  const std::vector<KeptBackup> kept = env.DataFolder.empty()
                                           ? std::vector<KeptBackup>()
                                           : ListKeptBackups(AutoBackupFolder(env.DataFolder));
  outcome.Data["backups"] = nlohmann::json::array();
  std::size_t damaged = 0;
  std::size_t unreadable = 0;
  for (const KeptBackup& backup : kept) {
    outcome.Data["backups"].push_back(KeptBackupJson(backup));
    unreadable += backup.Unreadable.empty() ? 0 : 1;
    damaged += backup.Intact || !backup.Unreadable.empty() ? 0 : 1;
  }
  outcome.Message = std::to_string(kept.size() - unreadable) + " backup(s)";
  if (damaged > 0) {
    outcome.Message += ", " + std::to_string(damaged) + " not intact";
  }
  if (unreadable > 0) {
    outcome.Message += ", " + std::to_string(unreadable) + " record(s) unreadable";
  }
  return outcome;
}

VerbOutcome Check(HeadlessSession& session, const VerbRequest& request, CliEnvironment&,
                  const DeviceFacts& device) {
  return CheckImage(session, request, device);
}

VerbOutcome VerifyOn(HeadlessSession& session, const VerbRequest& request, CliEnvironment&,
                     const DeviceFacts& device) {
  return Verify(session, request, device);
}

constexpr VerbSpec kVerbs[] = {
    {.Name = "list", .Machine = List},
    {.Name = "backups", .Machine = Backups},
    {.Name = "info", .TakesUnit = true, .AsksRecovery = true, .OnDevice = Info},
    {.Name = "check", .File = VerbFile::Image, .OnDevice = Check},
    {.Name = "backup", .File = VerbFile::NewBackup, .Several = true, .OnDevice = Backup},
    {.Name = "update",
     .File = VerbFile::Image,
     .Several = true,
     .Writes = true,
     .OnDevice = Update},
    {.Name = "erase", .Several = true, .Writes = true, .OnDevice = Erase},
    {.Name = "verify", .File = VerbFile::Image, .Several = true, .OnDevice = VerifyOn},
    {.Name = "restore",
     .File = VerbFile::OptionalBackup,
     .Writes = true,
     .TakesUnit = true,
     .OnDevice = Restore},
};

}  // namespace

const VerbSpec* FindVerb(std::string_view name) {
  for (const VerbSpec& verb : kVerbs) {
    if (verb.Name == name) {
      return &verb;
    }
  }
  return nullptr;
}

ChosenDevice ChooseAndClaim(HeadlessSession& session, const VerbRequest& request) {
  const DeviceChoice choice = ChooseDevice(session, request.Device);
  if (choice.Index < 0) {
    return {std::nullopt, Fail(choice.Error, choice.Message)};
  }
  // The claim comes before the chip check: a second program sends an owned bridge nothing.
  if (const std::optional<long> owner = session.Claim(choice.Index)) {
    return {std::nullopt, InUse(session.PathOf(choice.Index), *owner)};
  }
  DeviceFacts device = session.Select(choice.Index);
  if (request.FlashPart >= 0) {
    session.ChooseFlashPart(request.FlashPart);
  }
  if (request.A1Chip && !session.TickA1Chip()) {
    return {std::nullopt, Fail(ExitCode::Usage, "--a1-chip: " + device.Chip +
                                                    " has no \"A1 Chip\" choice (parallel-flash "
                                                    "families only)")};
  }
  return {std::move(device), {}};
}

VerbOutcome RunVerbOn(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env,
                      const DeviceFacts& chosen) {
  VerbOutcome outcome = FindVerb(request.Verb)->OnDevice(session, request, env, chosen);
  outcome.Data["device"] = DeviceJson(chosen);
  return outcome;
}

VerbOutcome RunVerb(HeadlessSession& session, const VerbRequest& request, CliEnvironment& env) {
  const VerbSpec* verb = FindVerb(request.Verb);
  if (verb == nullptr) {
    return Fail(ExitCode::Usage, "unknown verb " + request.Verb);
  }
  if (verb->Machine != nullptr) {
    return verb->Machine(session, env);
  }
  if (verb->File == VerbFile::Image ||
      (verb->File == VerbFile::OptionalBackup && !request.File.empty())) {
    if (auto refusal = CheckReadable(request.File)) {
      return *refusal;
    }
  }
  if (!request.ForcedUnitId.empty() && (!verb->TakesUnit || !request.Force)) {
    return Fail(ExitCode::Usage, "--unit goes with info --force or restore --force only");
  }
  if (verb->AsksRecovery) {
    session.AnswerRecoveryWith([&request, &env](const MessageBoxRequest& question) {
      return Confirmed(question.Text, request, env);
    });
    session.OverrideJournalUnit(request.ForcedUnitId);
  }
  const ChosenDevice chosen = ChooseAndClaim(session, request);
  if (!chosen.Device) {
    return chosen.Refusal;
  }
  return RunVerbOn(session, request, env, *chosen.Device);
}

}  // namespace q71x::cli
