// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/open_findings.h"

#include <algorithm>

namespace q71x::campaign {
namespace {

// What the campaign found and is not fixed yet; each entry goes when its fix, with a regression
// test of its own, is in.
const std::vector<OpenFinding>& Findings() {
  static const std::vector<OpenFinding> findings;
  return findings;
}

bool Covers(const OpenFinding& finding, const CampaignDevice& device, EngineeringAction action) {
  return (finding.Procedures & ProcedureBit(device.Run)) != 0 &&
         (finding.Actions & ActionBit(action)) != 0 &&
         (finding.Devices.empty() || std::find(finding.Devices.begin(), finding.Devices.end(),
                                               device.Key) != finding.Devices.end());
}

bool HitsCommand(const OpenFinding& finding, std::span<const std::uint8_t> cdb) {
  return finding.Commands.empty() ||
         std::any_of(finding.Commands.begin(), finding.Commands.end(),
                     [cdb](const sim::CdbPattern& pattern) { return pattern.Matches(cdb); });
}

}  // namespace

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::FalseSuccess:
      return "false success";
    case Verdict::UnknownText:
      return "text no failure table names";
    case Verdict::Unrecovered:
      return "unrecovered";
    case Verdict::NeverWorks:
      return "fails without any fault";
    case Verdict::AreaLost:
      return "configuration area lost";
    case Verdict::WrongUnit:
      return "area on the wrong unit";
  }
  return "";
}

std::span<const OpenFinding> OpenFindings() {
  return Findings();
}

const OpenFinding* ExplainingFinding(const CampaignDevice& device, EngineeringAction action,
                                     Verdict verdict, sim::FaultKind fault,
                                     std::span<const std::uint8_t> cdb) {
  for (const OpenFinding& finding : Findings()) {
    if (finding.Kind == verdict && Covers(finding, device, action) &&
        (finding.Faults & FaultBit(fault)) != 0 && HitsCommand(finding, cdb)) {
      return &finding;
    }
  }
  return nullptr;
}

const OpenFinding* ExplainingBaselineFinding(const CampaignDevice& device,
                                             EngineeringAction action) {
  for (const OpenFinding& finding : Findings()) {
    if (finding.Kind == Verdict::NeverWorks && Covers(finding, device, action)) {
      return &finding;
    }
  }
  return nullptr;
}

}  // namespace q71x::campaign
