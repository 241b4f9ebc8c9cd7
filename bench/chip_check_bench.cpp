// SPDX-License-Identifier: GPL-2.0-or-later
// Host cost of one chip check. The check itself lives in the Qt window; what is measured here is
// the Qt-free part it runs (identification, the flash probes and the settings they send, the
// configuration block of the disk-kept chips, the file match, the firmware version), over a
// simulated enclosure of each chip group with the latency model off. The window program
// (q71x-window-startup) measures the real check, with its commands and modeled time.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_devices.h"
#include "bench/sim_machine.h"
#include "src/catalog/chip_tables.h"
#include "src/image/firmware_match.h"
#include "src/image/sample_image.h"
#include "src/tool/chip_probe.h"
#include "tests/support/temp_dir.h"

namespace q71x::bench {
namespace {

void ChipCheck(benchmark::State& state, const char* deviceKey, ChipType imageChipType,
               int imageRevision) {
  SimMachine machine(false);
  machine.Counter().DropCommandLog(true);
  const sim::Enclosure* device = AddBenchDevice(machine.System(), deviceKey);
  if (device == nullptr) {
    state.SkipWithError("no such device");
    return;
  }
  // The check runs on every keystroke in the firmware-file field, so a named file is the usual
  // case: the match reads the image's headers each time.
  testing::TempDir folder;
  SampleImageOptions image;
  image.ChipType = imageChipType;
  image.ChipRevision = imageRevision;
  const std::string file = folder.File("image.bin");
  if (WriteSampleImage(file, image) != 1) {
    state.SkipWithError("cannot write the image");
    return;
  }
  for (auto _ : state) {
    ChipState chip;
    ProgramSettings settings;
    benchmark::DoNotOptimize(ProbeChip(device->Path, chip, settings));
    benchmark::DoNotOptimize(
        FirmwareMatchesChip(file, MakeChipIdentity(chip.ChipType, chip.ChipRevision)));
  }
  state.counters["commands_per_check"] =
      benchmark::Counter(static_cast<double>(machine.Counter().Tally().Commands) /
                         static_cast<double>(state.iterations()));
}

BENCHMARK_CAPTURE(ChipCheck, qv40714_atmel, "qv40714-atmel", ChipType::Qv40714Series, 1);
BENCHMARK_CAPTURE(ChipCheck, qvn962_mxic32, "qvn962-mxic32", ChipType::Qvn962Series, 5);
BENCHMARK_CAPTURE(ChipCheck, qvk846_1394, "qvk846-1394", ChipType::Qvk846Series, 1);
BENCHMARK_CAPTURE(ChipCheck, qv40712_sst, "qv40712-sst", ChipType::Qv40712Series, 1);
BENCHMARK_CAPTURE(ChipCheck, qv40709_disk, "qv40709-disk", ChipType::Qv40709Series, 1);

}  // namespace
}  // namespace q71x::bench
