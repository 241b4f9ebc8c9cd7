// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A Platform for unit tests: records every call and answers pass-through requests through a
// script the test sets. Time is virtual: sleeps advance the clock and nothing really waits.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "src/device/platform/platform.h"

namespace q71x::testing {

struct RecordedCommand {
  std::string Path;
  AccessMode Mode = AccessMode::SharedReadWrite;
  PassThroughRecord Record;           // as the transport filled it (DataBuffer kept as a flag)
  std::vector<std::uint8_t> Cdb;      // CdbLength bytes
  std::vector<std::uint8_t> DataOut;  // bytes sent, for data-out requests
  bool HadDataBuffer = false;
  std::uint64_t AtMs = 0;
};

struct ScriptedReply {
  bool Ok = true;
  std::uint32_t ErrorCode = 0;
  // Bytes to place in the data area for data-in requests (the rest stays as it was).
  std::vector<std::uint8_t> Data;
  // Transferred length to report; negative: the whole requested length.
  std::int64_t Transferred = -1;
};

class ScriptedPlatform : public Platform {
 public:
  using Responder = std::function<ScriptedReply(const RecordedCommand&)>;

  // Default: every command succeeds with no data.
  void SetResponder(Responder responder) { responder_ = std::move(responder); }
  // Why every request from now on ended, as a backend would say it (default: good).
  void SetOutcome(PassThroughOutcome outcome) { outcome_ = outcome; }
  void FailOpen(const std::string& path) { unopenable_.insert(path); }
  void SetDeviceNumber(const std::string& path, StorageDeviceNumber number) {
    deviceNumbers_[path] = number;
  }
  void SetInterfaces(InterfaceClass cls, std::vector<std::string> paths, bool setAvailable = true);
  void SetVolumes(std::vector<VolumeInfo> volumes) { volumes_ = std::move(volumes); }

  const std::vector<RecordedCommand>& Commands() const { return commands_; }
  const std::vector<std::string>& DebugLines() const { return debugLines_; }
  const std::vector<std::uint32_t>& Sleeps() const { return sleeps_; }
  int OpenCount() const { return openCount_; }
  int CloseCount() const { return closeCount_; }
  std::uint64_t NowMs() const { return nowMs_; }
  void ClearCommands() { commands_.clear(); }

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return lastError_; }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override;
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override;
  std::vector<VolumeInfo> ListVolumes() override { return volumes_; }
  void SleepMs(std::uint32_t ms) override;
  std::uint64_t MonotonicMs() override { return nowMs_; }
  void DebugOutput(const std::string& text) override { debugLines_.push_back(text); }

 private:
  Responder responder_;
  PassThroughOutcome outcome_;
  std::set<std::string> unopenable_;
  std::map<std::string, StorageDeviceNumber> deviceNumbers_;
  std::map<InterfaceClass, std::vector<std::string>> interfaces_;
  std::set<InterfaceClass> unavailable_;
  std::vector<VolumeInfo> volumes_;
  std::map<DeviceHandle, std::pair<std::string, AccessMode>> open_;
  DeviceHandle nextHandle_ = 1;
  std::vector<RecordedCommand> commands_;
  std::vector<std::string> debugLines_;
  std::vector<std::uint32_t> sleeps_;
  std::uint32_t lastError_ = 0;
  std::uint64_t nowMs_ = 0;
  int openCount_ = 0;
  int closeCount_ = 0;
};

}  // namespace q71x::testing
