// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// verify DEVICE IMAGE: whether the device holds what an update with the image leaves, read
// through the backup's proven reads and compared over what the update programs, the areas it
// keeps left out. Sends only reads: nothing is erased, programmed or unprotected.

#include <iosfwd>

#include <nlohmann/json.hpp>

#include "src/app/cli/verbs.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {

// Success on a match; operation failed when the device differs or its bytes cannot be proven;
// image refused when the image does not belong to the chip (without --force) or the update would
// not take it.
VerbOutcome Verify(HeadlessSession& session, const VerbRequest& request, const DeviceFacts& device);

// The comparison's lines of the text report.
void WriteComparisonText(std::ostream& out, const nlohmann::json& comparison);

}  // namespace q71x::cli
