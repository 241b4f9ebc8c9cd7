#pragma once
// The automatic backups kept in the backup folder, each read back with its record and checked
// against it: a backup whose bytes no longer match the size and SHA-256 its record names is
// reported as not intact, so nobody restores from a damaged file believing it whole.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace q71x::cli {

struct KeptBackup {
  std::filesystem::path File;
  std::filesystem::path Record;
  std::string Device;
  std::string Chip;
  int ChipType = 0;
  std::string Procedure;  // the update procedure the backup was read through
  std::string FirmwareVersion;
  std::string Created;
  std::uint64_t Size = 0;  // as the record says
  std::string Sha256;      // as the record says
  bool Intact = false;     // the file is there and has that size and digest
};

// The backup a record names (the file beside it), checked against it; nullopt when the record
// cannot be read as one of ours.
std::optional<KeptBackup> ReadKeptBackup(const std::filesystem::path& record);

// Every record in `folder` (none when the folder does not exist), by device, then oldest first.
// A record that cannot be read as one of ours is left out.
std::vector<KeptBackup> ListKeptBackups(const std::filesystem::path& folder);

}  // namespace q71x::cli
