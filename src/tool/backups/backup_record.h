// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The JSON record beside every backup this program takes: which unit the bytes were read from
// (its identity with every facet it held, and its stable id), the chip, revision, flash and
// version, where in the firmware memory the file starts, and the size and SHA-256 that let the
// file prove itself later. The record lives at the backup's full name plus ".json", so no two
// backups share one and a record never takes the name of a backup.
//
// A record is read field by field with the type each field must have: a hand-edited or damaged
// record is a clear error for that record, never a crash.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "src/device/unit_identity.h"

namespace q71x {

struct BackupRecord {
  std::string File;    // the backup's file name, beside the record
  std::string Device;  // the device path it was read through
  std::string Chip;
  q71x::ChipType ChipType = q71x::ChipType::Unknown;
  int ChipRevision = 0;
  std::string Flash;  // the flash-type field's text
  std::string FirmwareVersion;
  std::string Procedure;     // the update procedure the backup was read through
  std::uint64_t Offset = 0;  // the firmware address of the file's first byte
  std::uint64_t Size = 0;
  std::string Sha256;
  std::string Created;
  // Records written before units were known carry no identity: such a backup cannot be proven to
  // be of any one unit.
  bool HasIdentity = false;
  UnitIdentity Unit;
};

std::filesystem::path RecordPathOf(const std::filesystem::path& backupFile);

nlohmann::json BackupRecordJson(const BackupRecord& record);

// The record in `text`; nullopt with `problem` set when it is not a record of this program or a
// field has the wrong type.
std::optional<BackupRecord> ParseBackupRecord(const std::string& text, std::string& problem);

}  // namespace q71x
