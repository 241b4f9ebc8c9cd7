// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A unit's identity in JSON, under the names a backup record gives its facets; the command
// line's reports show it in the same form.

#include <nlohmann/json.hpp>

#include "src/device/unit_identity.h"

namespace q71x {

// The facets the identity holds: a facet the unit lacks is left out, and a placeholder serial is
// shown apart, since it names no unit.
nlohmann::json IdentityJson(const UnitIdentity& unit);

}  // namespace q71x
