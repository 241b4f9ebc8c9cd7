// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/app/cli/verify_verb.h"

#include <ostream>

#include "src/app/cli/report_json.h"
#include "src/app/cli/verb_steps.h"
#include "src/host/utf8_path.h"
#include "src/host/whole_file.h"
#include "src/tool/backups/device_comparison.h"
#include "src/update/update_footprint.h"

namespace q71x::cli {

VerbOutcome Verify(HeadlessSession& session, const VerbRequest& request,
                   const DeviceFacts& device) {
  VerbOutcome outcome = CheckImage(session, request, device);
  if (outcome.Code == ExitCode::ImageRefused && request.Force) {
    outcome.Code = ExitCode::Success;  // nothing is written: the comparison may go ahead
  } else if (outcome.Code != ExitCode::Success) {
    return outcome;
  }
  const std::vector<std::uint8_t> image =
      ReadWholeFile(PathFromUtf8(request.File)).value_or(std::vector<std::uint8_t>());
  const UpdateFootprint footprint =
      PlanUpdateFootprint(device.Procedure, session.Window(), request.File, image);
  if (!footprint.Refusal.empty()) {
    VerbOutcome refused = Fail(ExitCode::ImageRefused, "image refused: " + footprint.Refusal);
    refused.Data = outcome.Data;
    return refused;
  }
  const DeviceComparison comparison =
      CompareDevice(device.Procedure, session.Window(), device.Path, footprint);
  outcome.Data["comparison"] = ComparisonJson(comparison);
  switch (comparison.Verdict) {
    case ComparisonVerdict::Match:
      outcome.Code = ExitCode::Success;
      outcome.Message = "match: the device holds what an update with " + request.File +
                        " leaves (" + std::to_string(comparison.Compared) + " bytes compared)";
      break;
    case ComparisonVerdict::Differs:
      outcome.Code = ExitCode::OperationFailed;
      outcome.Message = comparison.Compared == 0
                            ? "differs: nothing could be compared"
                            : "differs: " + std::to_string(comparison.Differing) + " of " +
                                  std::to_string(comparison.Compared) +
                                  " bytes, the first at offset " +
                                  HexOffset(comparison.FirstDifference.value_or(0));
      break;
    case ComparisonVerdict::Unproven:
      outcome.Code = ExitCode::OperationFailed;
      outcome.Message = "not verified: the device's bytes cannot be proven (" + comparison.Problem +
                        "); this is no match";
      break;
  }
  return outcome;
}

void WriteComparisonText(std::ostream& out, const nlohmann::json& comparison) {
  out << "result: " << comparison["result"].get<std::string>() << "\n"
      << "compared: " << comparison["compared_bytes"].get<std::uint64_t>() << " bytes\n";
  if (!comparison["first_difference"].is_null()) {
    out << "differing: " << comparison["differing_bytes"].get<std::uint64_t>()
        << " bytes, the first at offset "
        << HexOffset(comparison["first_difference"].get<std::uint64_t>()) << "\n";
  }
  for (const nlohmann::json& range : comparison["excluded"]) {
    const auto offset = range["offset"].get<std::uint64_t>();
    out << "excluded: " << HexOffset(offset) << ".."
        << HexOffset(offset + range["length"].get<std::uint64_t>()) << " "
        << range["what"].get<std::string>() << " (kept by the update)\n";
  }
}

}  // namespace q71x::cli
