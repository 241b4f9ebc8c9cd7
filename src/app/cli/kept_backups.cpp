#include "src/app/cli/kept_backups.h"

#include <algorithm>
#include <system_error>
#include <tuple>

#include <nlohmann/json.hpp>

#include "src/device/platform/whole_file.h"
#include "src/image/sha256.h"

namespace q71x::cli {

std::vector<KeptBackup> ListKeptBackups(const std::filesystem::path& folder) {
  std::vector<KeptBackup> kept;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".json") {
      continue;
    }
    const std::vector<std::uint8_t> text =
        ReadWholeFile(entry.path()).value_or(std::vector<std::uint8_t>());
    const nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
    if (record.is_discarded() || !record.is_object() || record.value("program", "") != "q71xfw") {
      continue;
    }
    KeptBackup backup;
    backup.Record = entry.path();
    backup.File = folder / record.value("file", "");
    backup.Device = record.value("device", "");
    backup.Chip = record.value("chip", "");
    backup.FirmwareVersion = record.value("firmware_version", "");
    backup.Created = record.value("created", "");
    backup.Size = record.value("size", std::uint64_t{0});
    backup.Sha256 = record.value("sha256", "");
    const std::vector<std::uint8_t> bytes =
        ReadWholeFile(backup.File).value_or(std::vector<std::uint8_t>());
    backup.Intact =
        !bytes.empty() && bytes.size() == backup.Size && Sha256Hex(bytes) == backup.Sha256;
    kept.push_back(std::move(backup));
  }
  std::sort(kept.begin(), kept.end(), [](const KeptBackup& a, const KeptBackup& b) {
    return std::tie(a.Device, a.Created, a.File) < std::tie(b.Device, b.Created, b.File);
  });
  return kept;
}

}  // namespace q71x::cli
