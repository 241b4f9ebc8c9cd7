// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/counting_platform.h"

#include <malloc.h>

#include <algorithm>
#include <map>

#include "bench/case_measurement.h"

namespace q71x::bench {

namespace {

std::size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

void CountingPlatform::StartHeapSampling() {
  sampleHeap_ = true;
  heapAtStart_ = HeapInUse();
  heapPeak_ = heapAtStart_;
}

DeviceHandle CountingPlatform::OpenDevice(const std::string& path, AccessMode mode) {
  const DeviceHandle handle = inner_.OpenDevice(path, mode);
  if (keepCalls_) {
    PlatformCall call;
    call.What = PlatformCall::Kind::Open;
    call.Path = path;
    call.Mode = mode;
    call.Handle = handle;
    calls_.push_back(std::move(call));
  }
  return handle;
}

bool CountingPlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  const bool dataIn = record.DataIn != 0;
  if (sampleHeap_) {
    heapPeak_ = std::max(heapPeak_, HeapInUse());
  }
  if (keepCalls_) {
    PlatformCall call;
    call.What = PlatformCall::Kind::Send;
    call.Handle = handle;
    call.Record = record;
    call.Record.DataBuffer = nullptr;
    if (!dataIn && record.DataBuffer != nullptr) {
      call.DataOut.assign(record.DataBuffer, record.DataBuffer + record.DataTransferLength);
    }
    calls_.push_back(std::move(call));
  }
  const bool sent = inner_.SendPassThrough(handle, record);
  ++tally_.Commands;
  // What the platform reports as moved, not what was asked for.
  (dataIn ? tally_.BytesIn : tally_.BytesOut) += record.DataTransferLength;
  if (dropLog_) {
    log_.Clear();
  }
  return sent;
}

bool CountingPlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  if (keepCalls_) {
    PlatformCall call;
    call.What = PlatformCall::Kind::QueryNumber;
    call.Handle = handle;
    calls_.push_back(std::move(call));
  }
  return inner_.QueryDeviceNumber(handle, out);
}

void CountingPlatform::CloseDevice(DeviceHandle handle) {
  if (keepCalls_) {
    PlatformCall call;
    call.What = PlatformCall::Kind::Close;
    call.Handle = handle;
    calls_.push_back(std::move(call));
  }
  inner_.CloseDevice(handle);
}

void CountingPlatform::SleepMs(std::uint32_t ms) {
  tally_.SleptMs += ms;
  if (keepCalls_) {
    PlatformCall call;
    call.What = PlatformCall::Kind::Sleep;
    call.Ms = ms;
    calls_.push_back(std::move(call));
  }
  inner_.SleepMs(ms);
}

double ReplayCalls(const std::vector<PlatformCall>& calls, Platform& backend,
                   const std::function<void()>& atStart) {
  // One data area for every replayed command, grown once: the tool's own buffers are its cost,
  // not the device's.
  std::size_t largest = 0;
  for (const PlatformCall& call : calls) {
    largest = std::max<std::size_t>(largest, call.Record.DataTransferLength);
  }
  std::vector<std::uint8_t> area(largest);
  std::map<DeviceHandle, DeviceHandle> handles;
  if (atStart) {
    atStart();
  }
  const double start = ProcessCpuSeconds();
  for (const PlatformCall& call : calls) {
    switch (call.What) {
      case PlatformCall::Kind::Open:
        handles[call.Handle] = backend.OpenDevice(call.Path, call.Mode);
        break;
      case PlatformCall::Kind::Send: {
        PassThroughRecord record = call.Record;
        if (record.DataTransferLength > 0) {
          record.DataBuffer = area.data();
          std::copy(call.DataOut.begin(), call.DataOut.end(), area.begin());
        }
        backend.SendPassThrough(handles[call.Handle], record);
        backend.LastErrorCode();
        break;
      }
      case PlatformCall::Kind::QueryNumber: {
        StorageDeviceNumber number;
        backend.QueryDeviceNumber(handles[call.Handle], number);
        break;
      }
      case PlatformCall::Kind::Close:
        // Handles are never reused, so a closed one leaves the map; a run of half a million
        // commands would otherwise hold half a million entries.
        backend.CloseDevice(handles[call.Handle]);
        handles.erase(call.Handle);
        break;
      case PlatformCall::Kind::Sleep:
        backend.SleepMs(call.Ms);
        break;
    }
  }
  return ProcessCpuSeconds() - start;
}

}  // namespace q71x::bench
