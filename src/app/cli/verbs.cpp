#include "src/app/cli/verbs.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "src/app/cli/auto_backup.h"
#include "src/app/cli/device_choice.h"
#include "src/app/cli/kept_backups.h"
#include "src/app/cli/report_json.h"
#include "src/device/platform/utf8_path.h"

namespace q71x::cli {
namespace {

VerbOutcome Fail(ExitCode code, std::string message) {
  VerbOutcome outcome;
  outcome.Code = code;
  outcome.Message = std::move(message);
  return outcome;
}

// A file the run must read: missing is a usage error, unreadable is access denied.
std::optional<VerbOutcome> CheckReadable(const std::string& path) {
  errno = 0;
  if (std::ifstream(PathFromUtf8(path), std::ios::binary).is_open()) {
    return std::nullopt;
  }
  if (errno == EACCES || errno == EPERM) {
    return Fail(ExitCode::AccessDenied, "cannot read " + path + ": access denied");
  }
  return Fail(ExitCode::Usage, "cannot read " + path);
}

// The run's code: only a run the procedure said succeeded is a success.
void Judge(VerbOutcome& outcome, const RunReport& run) {
  outcome.Data["run"] = RunJson(run);
  if (run.Result < 0) {
    outcome.Code = ExitCode::OperationFailed;
    outcome.Message = "nothing was run" + (run.Status.empty() ? "" : ": " + run.Status);
  } else if (!run.Claimed) {
    outcome.Code = ExitCode::OperationFailed;
    outcome.Message = "failed: " + (run.Status.empty() ? "no success reported" : run.Status);
  } else if (run.PowerCycle) {
    outcome.Code = ExitCode::PowerCycle;
    outcome.Message = run.Status + " Power the enclosure off and on now.";
  } else {
    outcome.Message = run.Status;
  }
}

bool Confirmed(const std::string& question, const VerbRequest& request, CliEnvironment& env) {
  if (request.Yes) {
    return true;
  }
  if (!env.Terminal || env.In == nullptr) {
    return false;
  }
  *env.Err << question << " [y/N] " << std::flush;
  std::string answer;
  std::getline(*env.In, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

VerbOutcome NotConfirmed(const CliEnvironment& env) {
  return Fail(ExitCode::Usage, env.Terminal ? "not confirmed; nothing was done"
                                            : "refusing to write without a terminal: give --yes");
}

struct Chosen {
  std::optional<DeviceFacts> Device;
  VerbOutcome Refusal;
};

Chosen Choose(CliSession& session, const VerbRequest& request) {
  const DeviceChoice choice = ChooseDevice(session, request.Device);
  if (choice.Index < 0) {
    return {std::nullopt, Fail(choice.Error, choice.Message)};
  }
  DeviceFacts device = session.Select(choice.Index);
  if (request.FlashPart >= 0) {
    session.ChooseFlashPart(request.FlashPart);
  }
  return {std::move(device), {}};
}

VerbOutcome List(CliSession& session) {
  VerbOutcome outcome;
  outcome.Data["devices"] = nlohmann::json::array();
  for (int i = 0; i < session.DeviceCount(); ++i) {
    outcome.Data["devices"].push_back(DeviceJson(session.Select(i)));
  }
  outcome.Message = std::to_string(session.DeviceCount()) + " device(s)";
  return outcome;
}

// The backup before an erase; nullopt when it is proven or not wanted.
std::optional<VerbOutcome> BackupFirst(CliSession& session, const DeviceFacts& device,
                                       const VerbRequest& request, CliEnvironment& env,
                                       VerbOutcome& outcome) {
  if (request.NoBackup) {
    outcome.Data["auto_backup"] = nullptr;
    return std::nullopt;
  }
  if (env.DataFolder.empty()) {
    return Fail(ExitCode::OperationFailed,
                "no data folder for the automatic backup; give --no-backup to go without");
  }
  const AutoBackup backup =
      TakeAutoBackup(session, device, AutoBackupFolder(env.DataFolder), env.Now());
  outcome.Data["auto_backup"] = AutoBackupJson(backup);
  if (!backup.Proven) {
    VerbOutcome stop = Fail(ExitCode::OperationFailed,
                            "automatic backup failed, nothing was erased: " + backup.Problem);
    stop.Data = outcome.Data;
    return stop;
  }
  return std::nullopt;
}

VerbOutcome Check(CliSession& session, const VerbRequest& request, const DeviceFacts& device) {
  VerbOutcome outcome;
  const ImageCheck check = session.GiveImage(request.File, false);
  if (check.RunAllowed) {
    outcome.Message = "the image fits " + device.Chip;
  } else if (check.Mismatch) {
    outcome = Fail(ExitCode::ImageRefused, "image refused: " + check.Boxes.back());
  } else {
    outcome = Fail(ExitCode::OperationFailed,
                   "cannot update this device" + (check.Status.empty() ? "" : ": " + check.Status));
  }
  outcome.Data["image"] = ImageCheckJson(check);
  outcome.Data["image"]["path"] = request.File;
  outcome.Data["image"]["size"] = std::filesystem::file_size(PathFromUtf8(request.File));
  return outcome;
}

VerbOutcome Update(CliSession& session, const VerbRequest& request, CliEnvironment& env,
                   const DeviceFacts& device) {
  VerbOutcome outcome = Check(session, request, device);
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
  if (auto stop = BackupFirst(session, device, request, env, outcome)) {
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

VerbOutcome Erase(CliSession& session, const VerbRequest& request, CliEnvironment& env,
                  const DeviceFacts& device) {
  VerbOutcome outcome;
  if (!Confirmed("Erase the firmware of " + device.Path + " (" + device.Chip + ")?", request,
                 env)) {
    return NotConfirmed(env);
  }
  if (auto stop = BackupFirst(session, device, request, env, outcome)) {
    return *stop;
  }
  Judge(outcome, session.RunAction(EngineeringAction::EraseOnly));
  return outcome;
}

VerbOutcome Backup(CliSession& session, const VerbRequest& request) {
  VerbOutcome outcome;
  if (std::filesystem::exists(PathFromUtf8(request.File))) {
    return Fail(ExitCode::Usage, request.File + " exists; backups never overwrite");
  }
  const RunReport run = session.RunAction(EngineeringAction::BackupOnly, request.File);
  Judge(outcome, run);
  outcome.Data["file"] = request.File;
  return outcome;
}

VerbOutcome Backups(const CliEnvironment& env) {
  VerbOutcome outcome;
  const std::vector<KeptBackup> kept = env.DataFolder.empty()
                                           ? std::vector<KeptBackup>()
                                           : ListKeptBackups(AutoBackupFolder(env.DataFolder));
  outcome.Data["backups"] = nlohmann::json::array();
  std::size_t damaged = 0;
  for (const KeptBackup& backup : kept) {
    outcome.Data["backups"].push_back(KeptBackupJson(backup));
    damaged += backup.Intact ? 0 : 1;
  }
  outcome.Message = std::to_string(kept.size()) + " backup(s)";
  if (damaged > 0) {
    outcome.Message += ", " + std::to_string(damaged) + " not intact";
  }
  return outcome;
}

}  // namespace

VerbOutcome RunVerb(CliSession& session, const VerbRequest& request, CliEnvironment& env) {
  if (request.Verb == "list") {
    return List(session);
  }
  if (request.Verb == "backups") {
    return Backups(env);
  }
  if (request.Verb == "check" || request.Verb == "update") {
    if (auto refusal = CheckReadable(request.File)) {
      return *refusal;
    }
  }
  Chosen chosen = Choose(session, request);
  if (!chosen.Device) {
    return chosen.Refusal;
  }
  const DeviceFacts& device = *chosen.Device;
  VerbOutcome outcome;
  if (request.Verb == "info") {
    outcome.Message = device.Chip;
  } else if (request.Verb == "check") {
    outcome = Check(session, request, device);
  } else if (request.Verb == "update") {
    outcome = Update(session, request, env, device);
  } else if (request.Verb == "erase") {
    outcome = Erase(session, request, env, device);
  } else if (request.Verb == "backup") {
    outcome = Backup(session, request);
  } else {
    return Fail(ExitCode::Usage, "unknown verb " + request.Verb);
  }
  outcome.Data["device"] = DeviceJson(device);
  return outcome;
}

}  // namespace q71x::cli
