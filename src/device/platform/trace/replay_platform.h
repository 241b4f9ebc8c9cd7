// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Answers from a recorded trace. Every pass-through request must match a recorded one (path,
// command block, direction, length, data sent) not used before; anything else fails and is
// listed, so a replayed regression test sees exactly what changed.

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "src/device/platform/platform.h"
#include "src/device/platform/trace/trace_format.h"

namespace q71x::trace {

class ReplayPlatform final : public Platform {
 public:
  // False (and ParseErrors filled) when the trace is not one of ours or has broken lines.
  bool Load(std::istream& in);
  const std::vector<std::string>& ParseErrors() const { return parseErrors_; }
  // Requests the trace had no answer for, described for a test failure message.
  const std::vector<std::string>& Unmatched() const { return unmatched_; }
  // Recorded exchanges the replay never asked for.
  std::size_t UnusedExchanges() const;

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return lastError_; }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override { open_.erase(handle); }
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override;
  std::vector<VolumeInfo> ListVolumes() override { return volumes_; }
  // As recorded; 0 for a path the trace gives no limit for (recordings older than the line).
  std::uint32_t MaxTransferBytes(const std::string& devicePath) override;
  void SleepMs(std::uint32_t ms) override { nowMs_ += ms; }
  std::uint64_t MonotonicMs() override { return nowMs_; }
  void DebugOutput(const std::string& text) override { debugLines_.push_back(text); }
  const std::vector<std::string>& DebugLines() const { return debugLines_; }

 private:
  struct Enumeration {
    bool Ok = false;
    std::vector<std::string> Paths;
  };
  struct DeviceNumberAnswer {
    bool Ok = false;
    std::uint32_t Error = 0;
    StorageDeviceNumber Number;
  };
  bool ParseLine(const std::string& line);

  std::vector<PassThroughExchange> exchanges_;
  std::vector<bool> used_;
  std::map<std::string, bool> openable_;
  std::map<std::string, DeviceNumberAnswer> deviceNumbers_;
  std::map<InterfaceClass, Enumeration> enumerations_;
  std::vector<VolumeInfo> volumes_;
  std::map<std::string, std::uint32_t> limits_;
  std::map<DeviceHandle, std::string> open_;
  DeviceHandle nextHandle_ = 1;
  std::uint32_t lastError_ = 0;
  std::uint64_t nowMs_ = 0;
  std::vector<std::string> parseErrors_;
  std::vector<std::string> unmatched_;
  std::vector<std::string> debugLines_;
};

}  // namespace q71x::trace
