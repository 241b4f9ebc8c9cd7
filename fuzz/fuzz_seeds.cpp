// SPDX-License-Identifier: GPL-2.0-or-later
// Writes the seed corpora of the trace and journal reader fuzzers from the real writers: traces
// the recorder makes of the chip check over the simulated demo machine (one per bridge, with and
// without data), and entries the recovery journal records.
//   fuzz_seeds <trace seed folder> <journal seed folder>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/presets.h"
#include "sim/quiet_stdout.h"
#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/device/platform/trace/recording_platform.h"
#include "src/tool/bridge_list.h"
#include "src/tool/chip_probe.h"
#include "src/update/journal/recovery_journal.h"

namespace fs = std::filesystem;

namespace {

bool WriteText(const fs::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// The bridge listing, then the chip check of the bridge at `slot`, as the recorder writes them.
std::string RecordChipCheck(std::size_t slot, q71x::trace::TraceContent content) {
  q71x::sim::SimulatedSystem system;
  q71x::sim::AddDemoMachine(system);
  q71x::SimPlatform device(system);
  std::ostringstream trace;
  q71x::trace::RecordingPlatform recorder(device, trace, content);
  q71x::ScopedActivePlatform active(recorder);
  const std::vector<q71x::ListedBridge> bridges = q71x::ListBridges();
  if (slot < bridges.size()) {
    q71x::ChipState state;
    q71x::ProgramSettings settings;
    q71x::sim::QuietStdout quiet;
    q71x::ProbeChip(bridges[slot].Entry.DevicePath, state, settings);
  }
  return trace.str();
}

std::size_t BridgeCount() {
  q71x::sim::SimulatedSystem system;
  q71x::sim::AddDemoMachine(system);
  q71x::SimPlatform device(system);
  q71x::ScopedActivePlatform active(device);
  return q71x::ListBridges().size();
}

q71x::JournalEntry Entry(const char* procedure, int chipType, std::uint32_t area,
                         std::size_t areaBytes, bool withImage) {
  q71x::JournalEntry entry;
  entry.Device = {q71x::ToChipType(chipType),           3, "ef3013", "2.10",
                  "/dev/sg" + std::to_string(chipType), {}};
  // A unit of its own for each seed, with a port and a serial as the system names them.
  entry.Device.Unit.UsbSerial = "5EED" + std::to_string(chipType);
  entry.Device.Unit.PortPath = "usb:1-" + std::to_string(chipType);
  entry.Device.Unit.ChipType = q71x::ToChipType(chipType);
  entry.Device.Unit.ChipRevision = 3;
  entry.Device.Unit.FlashId = "ef3013";
  entry.Procedure = procedure;
  entry.AreaAddress = area;
  entry.EraseAddress = area;
  for (std::size_t i = 0; i < areaBytes; ++i) {
    entry.Area.push_back(static_cast<std::uint8_t>(i * 37 + chipType));
  }
  if (withImage) {
    const std::vector<std::uint8_t> image(4096, 0xA5);
    entry.ImageSha256 = q71x::Sha256Of(image.data(), image.size());
  }
  return entry;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fuzz_seeds <trace seed folder> <journal seed folder>\n");
    return 2;
  }
  const fs::path traces = argv[1];
  fs::create_directories(traces);
  const std::size_t bridges = BridgeCount();
  for (std::size_t slot = 0; slot < bridges; ++slot) {
    const std::string name = "chip-check-" + std::to_string(slot);
    if (!WriteText(traces / (name + ".trace"),
                   RecordChipCheck(slot, q71x::trace::TraceContent::Everything)) ||
        !WriteText(traces / (name + "-no-data.trace"),
                   RecordChipCheck(slot, q71x::trace::TraceContent::WithoutData))) {
      std::fprintf(stderr, "cannot write the trace seeds in %s\n", traces.c_str());
      return 1;
    }
  }

  q71x::RecoveryJournal journal(argv[2]);
  std::vector<q71x::JournalEntry> entries = {
      Entry("UpdateSerialFlash", 4, 0x8000, 512, true),
      Entry("UpdateFlashWithNvram", 6, 0, 4096, true),
      Entry("UpdateDf2Flash", 7, 0x8000, 1024, false),
  };
  for (q71x::JournalEntry& entry : entries) {
    if (const std::string failure = journal.Record(entry); !failure.empty()) {
      std::fprintf(stderr, "cannot record a journal seed: %s\n", failure.c_str());
      return 1;
    }
  }
  std::printf("fuzz seeds: %zu traces in %s, %zu journal entries in %s\n", bridges * 2,
              traces.c_str(), entries.size(), argv[2]);
  return 0;
}
