// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/report_json.h"

#include "src/host/utf8_path.h"
#include "src/tool/backups/unit_identity_json.h"

namespace q71x::cli {
namespace {

nlohmann::json ProcedureJson(UpdateProcedure procedure) {
  if (procedure == UpdateProcedure::None) {
    return nullptr;
  }
  return std::string(UpdateProcedureName(procedure));
}

// The failing command as a bug report needs it: opcode, why the pass-through ended so, the sense.
nlohmann::json FailedCommandJson(const FailedCommand& command) {
  const PassThroughOutcome& pass = command.Outcome;
  nlohmann::json json = {{"opcode", command.Opcode},
                         {"opened", command.Opened},
                         {"result", PassThroughResultName(pass.Result)},
                         {"scsi_status", pass.ScsiStatus},
                         {"requested", command.Requested},
                         {"transferred", command.Transferred}};
  if (pass.Result == PassThroughResult::CheckCondition) {
    json["sense_key"] = pass.SenseKey();
    json["asc"] = pass.Asc();
    json["ascq"] = pass.Ascq();
    json["sense"] =
        std::vector<std::uint8_t>(pass.Sense.begin(), pass.Sense.begin() + pass.SenseLength);
  }
  if (pass.ErrorCode != 0) {
    json["error_code"] = pass.ErrorCode;
  }
  return json;
}

nlohmann::json OutcomeJson(const RunOutcome& outcome) {
  return {{"verdict", std::string(RunVerdictName(outcome.Verdict))},
          {"step", std::string(RunStepName(outcome.Step))},
          {"reason", std::string(FailureReasonName(outcome.Reason))},
          {"command", outcome.Command ? FailedCommandJson(*outcome.Command) : nlohmann::json()},
          {"memory_changed", outcome.MemoryChanged},
          {"power_cycle", outcome.PowerCycleAsked}};
}

}  // namespace

nlohmann::json DeviceJson(const DeviceFacts& device) {
  return {
      {"index", device.Index},
      {"path", device.Path},
      {"id", UnitId(device.Unit)},
      {"identity", IdentityJson(device.Unit)},
      {"list_text", device.ListText},
      {"bus", device.Is1394 ? "1394" : "usb"},
      {"chip", device.Chip},
      {"chip_type", int{RowNumber(device.ChipType)}},
      {"revision", device.ChipRevision},
      {"flash_vendor", int{RowNumber(device.FlashVendor)}},
      {"flash", device.FlashText},
      {"config_level", device.ConfigLevel},
      {"firmware_version", device.FirmwareVersion},
      {"volumes", device.Volumes},
      {"firmware_size", device.FirmwareSize},
      {"procedure", ProcedureJson(device.Procedure)},
      {"status", device.Status},
      {"boxes", device.Boxes},
      {"recovery_pending", device.RecoveryPending},
      {"journal_problems", device.JournalProblems},
      {"in_use_by", device.InUseBy ? nlohmann::json(*device.InUseBy) : nlohmann::json()},
  };
}

nlohmann::json ImageCheckJson(const ImageCheck& check) {
  return {{"run_allowed", check.RunAllowed},
          {"mismatch", check.Mismatch},
          {"forced", check.Forced},
          {"status", check.Status},
          {"boxes", check.Boxes}};
}

nlohmann::json RunJson(const RunReport& run) {
  return {
      {"action", std::string(EngineeringActionName(run.Action))},
      {"procedure", ProcedureJson(run.Procedure)},
      {"result", run.Result},
      {"claimed_success", run.Claimed},
      {"power_cycle", run.PowerCycle},
      {"outcome", run.Result < 0 ? nlohmann::json() : OutcomeJson(run.Outcome)},
      {"status", run.Status},
      {"status_history", run.StatusHistory},
      {"boxes", run.Boxes},
  };
}

nlohmann::json AutoBackupJson(const AutoBackup& backup) {
  nlohmann::json json = {{"proven", backup.Proven},
                         {"file", PathToUtf8(backup.File)},
                         {"record", PathToUtf8(backup.Record)},
                         {"size", backup.Size},
                         {"sha256", backup.Sha256},
                         {"run", RunJson(backup.Run)}};
  if (!backup.Problem.empty()) {
    json["problem"] = backup.Problem;
  }
  json["offset"] = backup.Offset;
  return json;
}

nlohmann::json KeptBackupJson(const KeptBackup& backup) {
  const BackupRecord& record = backup.Facts;
  nlohmann::json json = {{"device", record.Device},
                         {"id", record.HasIdentity ? nlohmann::json(UnitId(record.Unit)) : nullptr},
                         {"chip", record.Chip},
                         {"revision", record.ChipRevision},
                         {"procedure", record.Procedure},
                         {"firmware_version", record.FirmwareVersion},
                         {"created", record.Created},
                         {"file", PathToUtf8(backup.File)},
                         {"record", PathToUtf8(backup.Record)},
                         {"offset", record.Offset},
                         {"size", record.Size},
                         {"sha256", record.Sha256},
                         {"intact", backup.Intact},
                         {"readable", backup.Unreadable.empty()}};
  if (!backup.Unreadable.empty()) {
    json["problem"] = backup.Unreadable;
  }
  return json;
}

nlohmann::json ComparisonJson(const DeviceComparison& comparison) {
  nlohmann::json json = {{"result", ComparisonVerdictName(comparison.Verdict)},
                         {"compared_bytes", comparison.Compared},
                         {"differing_bytes", comparison.Differing},
                         {"first_difference", nullptr},
                         {"programmed_bytes", comparison.Programmed},
                         {"reach", comparison.Reach},
                         {"excluded", nlohmann::json::array()}};
  if (comparison.FirstDifference) {
    json["first_difference"] = *comparison.FirstDifference;
  }
  for (const KeptRange& range : comparison.Excluded) {
    json["excluded"].push_back(
        {{"offset", range.Offset}, {"length", range.Length}, {"what", range.What}});
  }
  if (!comparison.Problem.empty()) {
    json["problem"] = comparison.Problem;
  }
  return json;
}

}  // namespace q71x::cli
