// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What one run told the operator, and the verdict on it: did it claim success (its typed
// outcome), does the claim hold for the memory and the backup file, and is its last text, when it
// failed, one the procedure's failure table names.

#include <cstdint>
#include <string>
#include <vector>

#include "src/update/run_outcome.h"
#include "tests/campaign/campaign_devices.h"
#include "tests/campaign/device_memory.h"
#include "tests/campaign/intended_outcome.h"

namespace q71x::campaign {

struct RunRecord {
  int Result = 0;
  std::string FinalStatus;
  std::vector<std::string> Boxes;
  RunOutcome Outcome;
};

struct Judgement {
  bool Claimed = false;
  bool TextKnown = false;
  std::string Breach;  // why the claim is false; empty when it holds or nothing was claimed
};

Judgement JudgeRun(const CampaignDevice& device, EngineeringAction action, const RunRecord& record,
                   const RunIntent& intent, const MemorySnapshot& before,
                   const MemorySnapshot& after, const std::string& backupFile);

std::string HexByte(std::uint8_t byte);

}  // namespace q71x::campaign
