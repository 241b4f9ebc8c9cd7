// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The data bytes a run moves, known before it starts from the firmware size and the passes
// the procedure makes over it.

#include <cstdint>

#include "src/update/update_procedure.h"

namespace q71x::cli {

std::uint64_t ExpectedRunBytes(EngineeringAction action, UpdateProcedure procedure,
                               std::uint32_t firmwareSize);

}  // namespace q71x::cli
