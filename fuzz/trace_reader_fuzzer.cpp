// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary bytes as a trace file to the replay reader, then lets the chip check's probes
// and the bridge listing run over whatever it loaded. A trace it refuses must say why; every
// exchange line it reads must read the same again once written back, so nothing of it is lost;
// and neither the reader nor a replay over it may trip the sanitizers.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "src/device/platform/platform.h"
#include "src/device/platform/trace/replay_platform.h"
#include "src/device/platform/trace/trace_format.h"
#include "src/tool/bridge_list.h"
#include "src/tool/chip_probe.h"

namespace {

void Fail(const char* what, const std::string& line) {
  std::fprintf(stderr, "%s: %s\n", what, line.c_str());
  std::abort();
}

// An exchange line read, written and read again must give the same line.
void CheckRoundTrip(const std::string& line) {
  const auto exchange = q71x::trace::ParsePassThrough(line);
  if (!exchange) {
    return;
  }
  const std::string written = q71x::trace::FormatPassThrough(*exchange);
  const auto again = q71x::trace::ParsePassThrough(written);
  if (!again) {
    Fail("an exchange written back does not read again", written);
  }
  if (q71x::trace::FormatPassThrough(*again) != written) {
    Fail("an exchange changes when read again", written);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    CheckRoundTrip(line);
  }

  q71x::trace::ReplayPlatform replay;
  std::istringstream in(text);
  if (!replay.Load(in)) {
    if (replay.ParseErrors().empty()) {
      Fail("a refused trace names no reason", text.substr(0, 80));
    }
    return 0;
  }
  q71x::ScopedActivePlatform active(replay);
  for (const q71x::ListedBridge& bridge : q71x::ListBridges()) {
    q71x::ChipState state;
    q71x::ProgramSettings settings;
    q71x::ProbeChip(bridge.Entry.DevicePath, state, settings);
  }
  return 0;
}
