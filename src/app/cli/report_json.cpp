#include "src/app/cli/report_json.h"
#include "src/device/platform/utf8_path.h"

namespace q71x::cli {
namespace {

nlohmann::json ProcedureJson(UpdateProcedure procedure) {
  if (procedure == UpdateProcedure::None) {
    return nullptr;
  }
  return std::string(UpdateProcedureName(procedure));
}

}  // namespace

nlohmann::json DeviceJson(const DeviceFacts& device) {
  return {
      {"index", device.Index},
      {"path", device.Path},
      {"id", UnitId(device.Unit)},
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
  return json;
}

nlohmann::json KeptBackupJson(const KeptBackup& backup) {
  return {{"device", backup.Device},
          {"chip", backup.Chip},
          {"procedure", backup.Procedure},
          {"firmware_version", backup.FirmwareVersion},
          {"created", backup.Created},
          {"file", PathToUtf8(backup.File)},
          {"record", PathToUtf8(backup.Record)},
          {"size", backup.Size},
          {"sha256", backup.Sha256},
          {"intact", backup.Intact}};
}

}  // namespace q71x::cli
