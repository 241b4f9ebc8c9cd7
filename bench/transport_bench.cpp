// SPDX-License-Identifier: GPL-2.0-or-later
// Host cost of the two transport primitives. Over the null device what is measured is the
// transport's own work per command: open, two padded zero-filled blocks, the copies, close. Over
// the simulated disk the simulator's side is added (the bridge decoding READ(10)/WRITE(10) and
// the drive's sector store); the latency model is off, so no virtual time is involved either way.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_devices.h"
#include "bench/null_device_platform.h"
#include "bench/sim_machine.h"
#include "src/device/transport.h"

namespace q71x::bench {
namespace {

constexpr std::uint8_t kOpRead10 = 0x28;
constexpr std::uint8_t kOpWrite10 = 0x2A;
constexpr std::uint32_t kSectorBytes = 512;

void TransferSizes(benchmark::internal::Benchmark* benchmark) {
  for (std::int64_t bytes : {0, 512, 65536, 1048576}) {
    benchmark->Arg(bytes);
  }
}

CommandBlock DiskTransferBlock(std::uint8_t opcode, std::uint32_t lba, std::uint32_t bytes) {
  CommandBlock cdb(10);
  cdb[0] = opcode;
  cdb[2] = static_cast<std::uint8_t>(lba >> 24);
  cdb[3] = static_cast<std::uint8_t>(lba >> 16);
  cdb[4] = static_cast<std::uint8_t>(lba >> 8);
  cdb[5] = static_cast<std::uint8_t>(lba);
  const std::uint32_t sectors = bytes / kSectorBytes;
  cdb[7] = static_cast<std::uint8_t>(sectors >> 8);
  cdb[8] = static_cast<std::uint8_t>(sectors);
  return cdb;
}

void SetCounters(benchmark::State& state, std::uint32_t bytes) {
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void BM_PassThroughIn_NullDevice(benchmark::State& state) {
  NullDevicePlatform platform;
  ScopedActivePlatform active(platform);
  const auto bytes = static_cast<std::uint32_t>(state.range(0));
  std::vector<std::uint8_t> buffer(bytes);
  const CommandBlock cdb = DiskTransferBlock(kOpRead10, 0, bytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(PassThroughIn("null:device", cdb, buffer.data(), bytes));
    benchmark::ClobberMemory();
  }
  SetCounters(state, bytes);
}
BENCHMARK(BM_PassThroughIn_NullDevice)->Apply(TransferSizes);

void BM_PassThroughOut_NullDevice(benchmark::State& state) {
  NullDevicePlatform platform;
  ScopedActivePlatform active(platform);
  const auto bytes = static_cast<std::uint32_t>(state.range(0));
  const std::vector<std::uint8_t> buffer(bytes, 0x5A);
  const CommandBlock cdb = DiskTransferBlock(kOpWrite10, 0, bytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        PassThroughOut("null:device", cdb, bytes > 0 ? buffer.data() : nullptr, bytes));
  }
  SetCounters(state, bytes);
}
BENCHMARK(BM_PassThroughOut_NullDevice)->Apply(TransferSizes);

// The firmware area of the disk preset lies beyond the reported capacity; any LBA will do for
// the transport, this one is inside the disk.
constexpr std::uint32_t kSomeLba = 2048;

void BM_PassThroughIn_SimulatedDisk(benchmark::State& state) {
  SimMachine machine(false);
  machine.Counter().DropCommandLog(true);
  const sim::Enclosure* device = AddBenchDevice(machine.System(), "qv40709-disk");
  const auto bytes = static_cast<std::uint32_t>(state.range(0));
  std::vector<std::uint8_t> buffer(bytes);
  const CommandBlock cdb = DiskTransferBlock(kOpRead10, kSomeLba, bytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(PassThroughIn(device->Path, cdb, buffer.data(), bytes));
    benchmark::ClobberMemory();
  }
  SetCounters(state, bytes);
}
BENCHMARK(BM_PassThroughIn_SimulatedDisk)->Apply(TransferSizes);

void BM_PassThroughOut_SimulatedDisk(benchmark::State& state) {
  SimMachine machine(false);
  machine.Counter().DropCommandLog(true);
  const sim::Enclosure* device = AddBenchDevice(machine.System(), "qv40709-disk");
  const auto bytes = static_cast<std::uint32_t>(state.range(0));
  const std::vector<std::uint8_t> buffer(bytes, 0x5A);
  const CommandBlock cdb = DiskTransferBlock(kOpWrite10, kSomeLba, bytes);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        PassThroughOut(device->Path, cdb, bytes > 0 ? buffer.data() : nullptr, bytes));
  }
  SetCounters(state, bytes);
}
BENCHMARK(BM_PassThroughOut_SimulatedDisk)->Apply(TransferSizes);

}  // namespace
}  // namespace q71x::bench
