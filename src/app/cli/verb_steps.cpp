// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/verb_steps.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <system_error>

#include "src/app/cli/file_kind.h"
#include "src/app/cli/report_json.h"
#include "src/host/utf8_path.h"
#include "src/host/whole_file.h"
#include "src/tool/backups/auto_backup.h"
#include "src/tool/chip_probe.h"
#include "src/tool/journal_device.h"
#include "src/update/parallel/parallel_flash_update.h"
#include "src/update/update_footprint.h"

namespace q71x::cli {

VerbOutcome Fail(ExitCode code, std::string message) {
  VerbOutcome outcome;
  outcome.Code = code;
  outcome.Message = std::move(message);
  return outcome;
}

std::optional<VerbOutcome> CheckReadable(const std::string& path) {
  if (const std::optional<std::string> kind = NotPlainFileKind(PathFromUtf8(path))) {
    return Fail(ExitCode::Usage, path + " is " + *kind + ", not a plain file; it is not opened");
  }
  errno = 0;
  if (std::ifstream(PathFromUtf8(path), std::ios::binary).is_open()) {
    return std::nullopt;
  }
  if (errno == EACCES || errno == EPERM) {
    return Fail(ExitCode::AccessDenied, "cannot read " + path + ": access denied");
  }
  return Fail(ExitCode::Usage, "cannot read " + path);
}

void Judge(VerbOutcome& outcome, const RunReport& run) {
  outcome.Data["run"] = RunJson(run);
  if (run.Result < 0) {
    outcome.Code = ExitCode::OperationFailed;
    outcome.Message = "nothing was run" + (run.Status.empty() ? "" : ": " + run.Status);
  } else if (!run.Claimed) {
    outcome.Code = ExitCode::OperationFailed;
    outcome.Message = "failed: " + (run.Status.empty() ? "no success reported" : run.Status);
    if (run.Status == kCantSwitchToRomText) {
      outcome.Hint =
          "an A1 bridge runs from its ROM and refuses the switch: give --a1-chip with its flash "
          "part, e.g. --a1-chip --flash-part 1 for a PMC flash (0 ATMEL, 1 PMC, 2 SST)";
    }
  } else if (run.PowerCycle) {
    outcome.PowerCycle = true;
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
  *(env.Ask != nullptr ? env.Ask : env.Err) << question << " [y/N] " << std::flush;
  std::string answer;
  std::getline(*env.In, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

VerbOutcome NotConfirmed(const CliEnvironment& env) {
  return Fail(ExitCode::Usage, env.Terminal ? "not confirmed; nothing was done"
                                            : "refusing to write without a terminal: give --yes");
}

std::uint64_t UpdateReach(HeadlessSession& session, const DeviceFacts& device,
                          const std::string& imagePath) {
  const std::vector<std::uint8_t> image =
      ReadWholeFile(PathFromUtf8(imagePath)).value_or(std::vector<std::uint8_t>());
  const UpdateFootprint footprint =
      PlanUpdateFootprint(device.Procedure, session.Window(), imagePath, image);
  return footprint.Refusal.empty() ? footprint.Reach : device.FirmwareSize;
}

std::optional<VerbOutcome> BackupFirst(HeadlessSession& session, const DeviceFacts& device,
                                       const VerbRequest& request, CliEnvironment& env,
                                       VerbOutcome& outcome, std::uint64_t reach) {
  if (request.NoBackup) {
    outcome.Data["auto_backup"] = nullptr;
    return std::nullopt;
  }
  if (env.DataFolder.empty()) {
    return Fail(ExitCode::OperationFailed,
                "no data folder for the automatic backup; give --no-backup to go without");
  }
  // The record names the backup's chip, revision and flash by the chip check, and restore puts a
  // backup back only where they match: a check that misread them (an answer lost or garbled on
  // the way) would label a backup that nothing can put back. So the chip is checked once more
  // first, with the same read-only probe on facts of its own, and a different answer stops here.
  ChipState again;
  ProgramSettings settings;
  ProbeChip(device.Path, again, settings);
  const std::string flashId =
      again.ChipType != ChipType::Unknown ? FlashIdOf(again) : std::string();
  if (again.ChipType != device.ChipType || again.ChipRevision != device.ChipRevision ||
      flashId != device.Unit.FlashId) {
    VerbOutcome stop = Fail(
        ExitCode::OperationFailed,
        "the chip check read type " + std::to_string(RowNumber(device.ChipType)) + " revision " +
            std::to_string(device.ChipRevision) + " flash " + device.Unit.FlashId +
            ", checked again the device says type " + std::to_string(RowNumber(again.ChipType)) +
            " revision " + std::to_string(again.ChipRevision) + " flash " + flashId +
            "; nothing was read or erased, run again");
    stop.Data = outcome.Data;
    return stop;
  }
  const AutoBackup backup =
      TakeAutoBackup(session, device, AutoBackupFolder(env.DataFolder), env.Now(), reach);
  outcome.Data["auto_backup"] = AutoBackupJson(backup);
  if (!backup.Proven) {
    VerbOutcome stop = Fail(ExitCode::OperationFailed,
                            "automatic backup failed, nothing was erased: " + backup.Problem);
    stop.Data = outcome.Data;
    return stop;
  }
  return std::nullopt;
}

VerbOutcome CheckImage(HeadlessSession& session, const VerbRequest& request,
                       const DeviceFacts& device) {
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
  // The file was read above; if it has gone since, the report says so instead of a size.
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(PathFromUtf8(request.File), error);
  outcome.Data["image"]["size"] = error ? nlohmann::json() : nlohmann::json(size);
  return outcome;
}

std::string RecoveryRefusal(const DeviceFacts& device) {
  std::string said = device.RecoveryRefusal;
  if (device.RecoveryVerdict == JournalVerdict::UnprovenUnit) {
    said += "\nIf this device is that enclosure, put the area back with: q71xfw info " +
            std::to_string(device.Index) + " --yes --force --unit " + UnitId(device.Unit);
  }
  return said;
}

std::optional<VerbOutcome> ForeignUnitNamed(const VerbRequest& request, const DeviceFacts& device) {
  if (request.ForcedUnitId.empty() || request.ForcedUnitId == UnitId(device.Unit)) {
    return std::nullopt;
  }
  return Fail(ExitCode::Usage, "--unit " + request.ForcedUnitId +
                                   " does not name this device, whose id is " +
                                   UnitId(device.Unit) + "; nothing was written");
}

bool UnitOverridden(const VerbRequest& request, const DeviceFacts& device) {
  return request.Force && !request.ForcedUnitId.empty() &&
         request.ForcedUnitId == UnitId(device.Unit);
}

std::optional<VerbOutcome> RecoveryFirst(const DeviceFacts& device) {
  if (!device.RecoveryPending) {
    return std::nullopt;
  }
  if (!device.RecoveryRefusal.empty()) {
    return Fail(ExitCode::OperationFailed,
                "nothing is written while the recovery journal keeps an area that may be this "
                "device's: " +
                    RecoveryRefusal(device));
  }
  return Fail(ExitCode::OperationFailed,
              "the recovery journal keeps the configuration area this device lost; put it back "
              "first with: q71xfw info " +
                  std::to_string(device.Index) + " --yes");
}

}  // namespace q71x::cli
