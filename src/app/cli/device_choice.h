// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Which device a DEVICE argument names: a list index ("0", "1", ...), a device path as `list`
// prints it, a unit id as `list` prints it ("usb-3F2A0017/t1-r1", exactly), or a chip name
// ("QV40714", any case) that exactly one listed device has.

#include <string>

#include "src/app/cli/exit_codes.h"
#include "src/tool/session/headless_session.h"

namespace q71x::cli {

struct DeviceChoice {
  int Index = -1;  // -1: none; Error and Message say why
  ExitCode Error = ExitCode::Success;
  std::string Message;
};

// Names are tried as an index, then as a path, then as a unit id, then as a chip name (which
// checks every device).
DeviceChoice ChooseDevice(HeadlessSession& session, const std::string& name);

}  // namespace q71x::cli
