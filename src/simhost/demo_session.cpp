// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/simhost/demo_session.h"

#include "sim/presets.h"
#include "src/simhost/sample_images.h"

namespace q71x {
namespace {

// Hours of use must not grow the process: only the latest commands are kept.
constexpr std::size_t kKeptCommands = 4096;

}  // namespace

DemoSession::DemoSession(const SimStateFolder& state, double pace) : pacing_(pace) {
  system_.Log().SetCapacity(kKeptCommands);
  sim::AddDemoMachine(system_);
  leftOut_ = state.Restore(system_);
  unwrittenImages_ = WritePresetSampleImages(state.Root() / "images");
  platform_.SetKeepHistory(false);
  if (pacing_.Enabled()) {
    platform_.SetPacing(&pacing_);
  }
}

}  // namespace q71x
