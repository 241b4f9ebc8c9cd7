// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Passes every call on to the platform it wraps and counts what crossed the bus: commands sent
// and the bytes each data phase moved, by direction. On request it also keeps every call it
// passed on, so that the same calls can be replayed against an identical simulated machine: the
// replay's CPU time is what the simulated device cost, and the run's CPU time less the replay's
// is the tool's own. (Timing each call instead would need a CPU-time clock read per call, a
// system call costing about a microsecond here, of the order of what it measures.) It can also
// drop the simulator's command log after every command: the log keeps every data-out phase,
// which would count against the tool in a memory measurement.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/command_log.h"
#include "src/device/platform/platform.h"

namespace q71x::bench {

struct BusTally {
  std::uint64_t Commands = 0;
  std::uint64_t BytesIn = 0;   // device to host
  std::uint64_t BytesOut = 0;  // host to device
  std::uint64_t SleptMs = 0;   // the tool's own pauses
};

// One call the wrapped platform received, as much of it as a replay needs.
struct PlatformCall {
  enum class Kind { Open, Send, QueryNumber, Close, Sleep };
  Kind What = Kind::Send;
  std::string Path;  // Open
  AccessMode Mode = AccessMode::SharedReadWrite;
  DeviceHandle Handle = kInvalidDeviceHandle;  // Open: the handle it returned
  PassThroughRecord Record;                    // Send: as handed in; DataBuffer is not kept
  std::vector<std::uint8_t> DataOut;           // Send, data out: the bytes sent
  std::uint32_t Ms = 0;                        // Sleep
};

class CountingPlatform final : public Platform {
 public:
  CountingPlatform(Platform& inner, sim::CommandLog& log) : inner_(inner), log_(log) {}

  const BusTally& Tally() const { return tally_; }
  void ResetTally() { tally_ = BusTally{}; }
  void DropCommandLog(bool drop) { dropLog_ = drop; }
  void KeepCalls(bool keep) { keepCalls_ = keep; }
  // Samples the bytes the allocator has handed out and not got back, at every command while its
  // buffers are live and before the device sees it, so the device's own allocations are not in
  // it. The peak is counted from the moment sampling starts.
  void StartHeapSampling();
  std::size_t HeapPeakAboveStart() const { return heapPeak_ - heapAtStart_; }
  const std::vector<PlatformCall>& Calls() const { return calls_; }

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return inner_.LastErrorCode(); }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override;
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override {
    return inner_.EnumerateInterfaces(cls, paths);
  }
  std::vector<VolumeInfo> ListVolumes() override { return inner_.ListVolumes(); }
  void SleepMs(std::uint32_t ms) override;
  std::uint64_t MonotonicMs() override { return inner_.MonotonicMs(); }
  void DebugOutput(const std::string& text) override { inner_.DebugOutput(text); }
  void SetDeviceChangeListener(DeviceChangeListener listener) override {
    inner_.SetDeviceChangeListener(std::move(listener));
  }

 private:
  Platform& inner_;
  sim::CommandLog& log_;
  BusTally tally_;
  bool dropLog_ = false;
  bool keepCalls_ = false;
  std::vector<PlatformCall> calls_;
  bool sampleHeap_ = false;
  std::size_t heapAtStart_ = 0;
  std::size_t heapPeak_ = 0;
};

// Makes the kept calls again on `backend`, in order, handles mapped to the ones it hands out.
// `atStart` (if set) is called once the replay's own data area is allocated, right before the
// first call. Returns the process CPU seconds the calls took.
double ReplayCalls(const std::vector<PlatformCall>& calls, Platform& backend,
                   const std::function<void()>& atStart = {});

}  // namespace q71x::bench
