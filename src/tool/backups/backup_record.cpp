// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/backups/backup_record.h"

#include <algorithm>

#include "src/tool/backups/unit_identity_json.h"

namespace q71x {
namespace {

constexpr int kSchema = 2;
// Schema 1 wrote no offset: the backup action left the 4 KB configuration area out of a 64 KB
// read on the families that keep it, so a smaller file starts that much later.
constexpr std::uint64_t kSchema1ReadBytes = 65536;

// Reads fields of one JSON object by the type each must have; the first wrong one is kept as the
// record's problem and every later read gives the default.
class TypedFields {
 public:
  TypedFields(const nlohmann::json& object, std::string prefix)
      : object_(object), prefix_(std::move(prefix)) {}

  std::string Text(const char* key) {
    const nlohmann::json* field = Find(key, nlohmann::json::value_t::string, "a text");
    return field != nullptr ? field->get<std::string>() : std::string();
  }
  std::uint64_t Count(const char* key) {
    const nlohmann::json* field = Find(key, nlohmann::json::value_t::number_unsigned, "a count");
    return field != nullptr ? field->get<std::uint64_t>() : 0;
  }
  int Small(const char* key) {
    const std::uint64_t value = Count(key);
    if (value > 0xFFFF) {
      Wrong(key, "a number up to 65535");
      return 0;
    }
    return static_cast<int>(value);
  }
  // A number no row of the chip-type table carries is refused like any other wrong field.
  ChipType Chip(const char* key) {
    const std::uint64_t value = std::min<std::uint64_t>(Count(key), kChipTypeCount);
    const std::optional<ChipType> type = ChipTypeOfNumber(static_cast<long long>(value));
    if (!type) {
      Wrong(key, "a chip type this program knows");
      return ChipType::Unknown;
    }
    return *type;
  }
  bool Has(const char* key) const { return object_.contains(key); }
  std::string& Problem() { return problem_; }

 private:
  const nlohmann::json* Find(const char* key, nlohmann::json::value_t type, const char* what) {
    const auto found = object_.find(key);
    if (!problem_.empty() || found == object_.end()) {
      return nullptr;
    }
    // A JSON integer without a sign is read as unsigned; one written negative is no count.
    if (found->type() != type) {
      Wrong(key, what);
      return nullptr;
    }
    return &*found;
  }
  void Wrong(const char* key, const char* what) {
    if (problem_.empty()) {
      problem_ = "the field \"" + prefix_ + key + "\" is not " + what;
    }
  }

  const nlohmann::json& object_;
  std::string prefix_;
  std::string problem_;
};

bool ReadIdentity(const nlohmann::json& json, UnitIdentity& unit, std::string& problem) {
  if (!json.is_object()) {
    problem = "the field \"identity\" is not an object";
    return false;
  }
  TypedFields fields(json, "identity.");
  // Records written before the placeholder was kept apart have it as the serial.
  unit.UsbSerial = fields.Has("usb_serial_placeholder") ? fields.Text("usb_serial_placeholder")
                                                        : fields.Text("usb_serial");
  unit.Guid1394 = fields.Text("guid_1394");
  unit.DiskSerial = fields.Text("disk_serial");
  unit.ChipType = fields.Chip("chip_type");
  unit.ChipRevision = fields.Small("chip_revision");
  unit.FlashId = fields.Text("flash_id");
  unit.PortPath = fields.Text("port_path");
  unit.FirmwareVersion = fields.Text("firmware_version");
  problem = fields.Problem();
  return problem.empty();
}

}  // namespace

std::filesystem::path RecordPathOf(const std::filesystem::path& backupFile) {
  std::filesystem::path record = backupFile;
  record += ".json";
  return record;
}

nlohmann::json BackupRecordJson(const BackupRecord& record) {
  nlohmann::json json = {
      {"schema", kSchema},
      {"file", record.File},
      {"device", record.Device},
      {"chip", record.Chip},
      {"chip_type", int{RowNumber(record.ChipType)}},
      {"revision", record.ChipRevision},
      {"flash", record.Flash},
      {"flash_id", record.Unit.FlashId},
      {"firmware_version", record.FirmwareVersion},
      {"procedure", record.Procedure},
      {"offset", record.Offset},
      {"size", record.Size},
      {"sha256", record.Sha256},
      {"created", record.Created},
      {"program", "q71xfw"},
      {"program_version", Q71X_PROGRAM_VERSION},
  };
  if (record.HasIdentity) {
    json["id"] = UnitId(record.Unit);
    json["identity"] = IdentityJson(record.Unit);
  }
  return json;
}

std::optional<BackupRecord> ParseBackupRecord(const std::string& text, std::string& problem) {
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    problem = "not a JSON object";
    return std::nullopt;
  }
  TypedFields fields(json, "");
  if (fields.Text("program") != "q71xfw") {
    problem = fields.Problem().empty() ? "not a record of q71xfw" : fields.Problem();
    return std::nullopt;
  }
  BackupRecord record;
  record.File = fields.Text("file");
  record.Device = fields.Text("device");
  record.Chip = fields.Text("chip");
  record.ChipType = fields.Chip("chip_type");
  record.ChipRevision = fields.Small("revision");
  record.Flash = fields.Text("flash");
  record.FirmwareVersion = fields.Text("firmware_version");
  record.Procedure = fields.Text("procedure");
  record.Size = fields.Count("size");
  record.Sha256 = fields.Text("sha256");
  record.Created = fields.Text("created");
  if (fields.Has("offset")) {
    record.Offset = fields.Count("offset");
  } else if (record.Size < kSchema1ReadBytes) {
    record.Offset = kSchema1ReadBytes - record.Size;
  }
  const std::string flashId = fields.Text("flash_id");
  if (!fields.Problem().empty()) {
    problem = fields.Problem();
    return std::nullopt;
  }
  if (json.contains("identity")) {
    if (!ReadIdentity(json["identity"], record.Unit, problem)) {
      return std::nullopt;
    }
    record.HasIdentity = true;
  } else {
    // What an old record knows of the model, for the comparison; it proves no unit.
    record.Unit.ChipType = record.ChipType;
    record.Unit.ChipRevision = record.ChipRevision;
    record.Unit.FlashId = flashId;
    record.Unit.FirmwareVersion = record.FirmwareVersion;
  }
  return record;
}

}  // namespace q71x
