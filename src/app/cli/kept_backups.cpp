#include "src/app/cli/kept_backups.h"

#include <algorithm>
#include <system_error>
#include <tuple>

#include <nlohmann/json.hpp>

#include "src/device/platform/whole_file.h"
#include "src/image/sha256.h"

namespace q71x::cli {

std::optional<KeptBackup> ReadKeptBackup(const std::filesystem::path& record) {
  const std::vector<std::uint8_t> text =
      ReadWholeFile(record).value_or(std::vector<std::uint8_t>());
  const nlohmann::json fields = nlohmann::json::parse(text, nullptr, false);
  if (fields.is_discarded() || !fields.is_object() || fields.value("program", "") != "q71xfw") {
    return std::nullopt;
  }
  KeptBackup backup;
  backup.Record = record;
  backup.File = record.parent_path() / fields.value("file", "");
  backup.Device = fields.value("device", "");
  backup.Chip = fields.value("chip", "");
  backup.ChipType = fields.value("chip_type", 0);
  backup.Procedure = fields.value("procedure", "");
  backup.FirmwareVersion = fields.value("firmware_version", "");
  backup.Created = fields.value("created", "");
  backup.Size = fields.value("size", std::uint64_t{0});
  backup.Sha256 = fields.value("sha256", "");
  const std::vector<std::uint8_t> bytes =
      ReadWholeFile(backup.File).value_or(std::vector<std::uint8_t>());
  backup.Intact =
      !bytes.empty() && bytes.size() == backup.Size && Sha256Hex(bytes) == backup.Sha256;
  return backup;
}

std::vector<KeptBackup> ListKeptBackups(const std::filesystem::path& folder) {
  std::vector<KeptBackup> kept;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".json") {
      continue;
    }
    if (std::optional<KeptBackup> backup = ReadKeptBackup(entry.path())) {
      kept.push_back(std::move(*backup));
    }
  }
  // Backups of the same second are told apart by their "-n" suffix: the longer name is the later.
  std::sort(kept.begin(), kept.end(), [](const KeptBackup& a, const KeptBackup& b) {
    const std::size_t aLength = a.File.native().size();
    const std::size_t bLength = b.File.native().size();
    return std::tie(a.Device, a.Created, aLength, a.File) <
           std::tie(b.Device, b.Created, bLength, b.File);
  });
  return kept;
}

}  // namespace q71x::cli
