// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Over a serial-flash gadget with a large flash, as the seat's user: an update whose gadget is
// pulled once the erase has begun, re-plugged and recovered from the journal, then an image
// larger than one request of the kernel carries. Each judged by the flash the gadget holds, not
// by what q71xfw says.

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "gadget/guest/cli_runner.h"
#include "gadget/guest/step_log.h"

namespace q71x::guest {

struct LargeFlashGadget {
  std::string PresetKey;
  std::string Socket;
  std::string Serial;  // the USB serial number the host reads of it
};

// `device`: the gadget's bridge as `list --json` names it; `relist` lists again and returns the
// gadget's bridge, or null when it is not there.
void CheckLargeUpdateAndPull(StepLog& log, const CliRunner& cli, const std::string& workDir,
                             const LargeFlashGadget& gadget, const nlohmann::json& device,
                             const std::function<nlohmann::json()>& relist);

}  // namespace q71x::guest
