// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/report_json.h"
#include "src/host/utf8_path.h"

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

// The facets the identity holds, under the names a backup record gives them; a placeholder
// serial is shown apart, since it names no unit.
nlohmann::json IdentityJson(const UnitIdentity& unit) {
  nlohmann::json json = nlohmann::json::object();
  const auto put = [&json](const char* key, const std::string& value) {
    if (!value.empty()) {
      json[key] = value;
    }
  };
  if (IsPlaceholderSerial(unit.UsbSerial)) {
    put("usb_serial_placeholder", unit.UsbSerial);
  } else {
    put("usb_serial", unit.UsbSerial);
  }
  put("guid_1394", unit.Guid1394);
  put("disk_serial", unit.DiskSerial);
  put("port_path", unit.PortPath);
  if (unit.ChipType != ChipType::Unknown) {
    json["chip_type"] = int{RowNumber(unit.ChipType)};
    json["chip_revision"] = unit.ChipRevision;
  }
  put("flash_id", unit.FlashId);
  put("firmware_version", unit.FirmwareVersion);
  return json;
}

nlohmann::json DeviceJson(const DeviceFacts& device) {
  return {
      {"index", device.Index},
      {"path", device.Path},
      {"id", UnitId(device.Unit)},
      {"identity", IdentityJson(device.Unit)},
      {"list_text", device.ListText},
      {"bus", device.Is1394 ? "1394" : "usb"},
      {"chip", device.Chip},
      {"chip_type", device.ChipType},
      {"revision", device.ChipRevision},
      {"flash_vendor", device.FlashVendor},
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

}  // namespace q71x::cli
