// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Faults the campaign found and that are not fixed yet, each with the cases it explains: the
// procedures and actions, the devices (all when none are named), the kinds of fault and the
// commands they hit, and what went wrong. The campaign stays strict: a case no entry explains
// fails it, and every entry is printed with the number of cases it explained, so nothing found
// is hidden and a fixed one shows up as an entry that no longer explains anything.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sim/cdb_pattern.h"
#include "sim/fault_injector.h"
#include "tests/campaign/campaign_devices.h"

namespace q71x::campaign {

enum class Verdict {
  FalseSuccess,  // success claimed over memory that is not what the run meant to write
  UnknownText,   // the run ended on a text no failure table names
  Unrecovered,   // a fault-free run after a power cycle did not complete the action
  NeverWorks,    // the fault-free run itself does not complete the action
  AreaLost,      // the kept configuration area is gone after the re-plug, the journal's
                 // recovery and the operator's new run
  WrongUnit,     // the journal offered a unit's area to, or wrote it into, another enclosure
};

std::string_view VerdictName(Verdict verdict);

inline constexpr std::uint32_t FaultBit(sim::FaultKind kind) {
  return 1u << static_cast<std::uint32_t>(kind);
}
inline constexpr std::uint32_t ProcedureBit(UpdateProcedure procedure) {
  return 1u << static_cast<std::uint32_t>(procedure);
}
inline constexpr std::uint32_t ActionBit(EngineeringAction action) {
  return 1u << static_cast<std::uint32_t>(action);
}
inline constexpr std::uint32_t kEveryAction = ActionBit(EngineeringAction::Update) |
                                              ActionBit(EngineeringAction::EraseOnly) |
                                              ActionBit(EngineeringAction::BackupOnly);

struct OpenFinding {
  std::string_view Id;
  std::string_view Owner;  // the procedure family (or the simulator) the fix belongs to
  Verdict Kind;
  std::uint32_t Procedures;               // ProcedureBit()s
  std::uint32_t Actions;                  // ActionBit()s
  std::vector<std::string_view> Devices;  // empty: every device of those procedures
  std::uint32_t Faults = 0;               // FaultBit()s; none for NeverWorks
  std::vector<sim::CdbPattern> Commands;  // the faulted command; empty: any
  std::string_view Summary;
  std::string_view SuggestedFix;
};

std::span<const OpenFinding> OpenFindings();

// The first entry that explains a faulted case, or null.
const OpenFinding* ExplainingFinding(const CampaignDevice& device, EngineeringAction action,
                                     Verdict verdict, sim::FaultKind fault,
                                     std::span<const std::uint8_t> cdb);
// The entry that explains why the fault-free run of a device and action fails, or null.
const OpenFinding* ExplainingBaselineFinding(const CampaignDevice& device,
                                             EngineeringAction action);

}  // namespace q71x::campaign
