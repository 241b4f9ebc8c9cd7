// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What a successful run means to leave behind, worked out from the device's memory before the
// run, the image file and each procedure's rules for the configuration area: written
// independently of the procedures, so that a procedure that claims success over the wrong bytes
// disagrees with it. Bytes no rule speaks for may keep their old value or be erased.

#include <cstdint>
#include <optional>
#include <vector>

#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/device_memory.h"

namespace q71x::campaign {

enum class ByteRule : std::uint8_t {
  Exact,         // must hold the intended value
  OldOrErased,   // untouched, or erased by a unit that reached past what the run writes
  ZeroOrErased,  // padding past the image inside the erased area
};

struct RunInputs {
  const CampaignDevice* Device = nullptr;
  EngineeringAction WhatRuns = EngineeringAction::Update;
  std::vector<std::uint8_t> Image;  // the image file's bytes
  std::uint32_t FirmwareSize = 65536;
  std::uint32_t FlashPageSize = 8192;  // as the run starts
  bool NvramTicked = false;            // as the run starts
};

struct RunIntent {
  std::vector<std::uint8_t> Bytes;  // the value of every Exact byte
  std::vector<ByteRule> Rules;
  bool WritesBackup = false;
  std::vector<std::uint8_t> BackupFile;
};

struct Mismatch {
  std::uint64_t Address = 0;  // in the memory's own addressing
  std::uint8_t Expected = 0;
  std::uint8_t Found = 0;
  ByteRule Rule = ByteRule::Exact;
};

RunIntent IntendedOutcome(const RunInputs& inputs, const MemorySnapshot& before);

// The first byte of `after` that breaks the intent, if any (a memory that changed size breaks
// it at its first byte).
std::optional<Mismatch> FindMismatch(const RunIntent& intent, const MemorySnapshot& before,
                                     const MemorySnapshot& after);

}  // namespace q71x::campaign
