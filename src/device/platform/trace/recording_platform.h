// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Wraps the real platform and writes every exchange to a trace (see trace_format.h).

#include <map>
#include <ostream>
#include <string>

#include "src/device/platform/forwarding_platform.h"
#include "src/device/platform/trace/trace_format.h"

namespace q71x::trace {

class RecordingPlatform final : public ForwardingPlatform {
 public:
  // Neither is owned; the stream receives one line per exchange and is flushed after each.
  RecordingPlatform(Platform& inner, std::ostream& out,
                    TraceContent content = TraceContent::Everything);

  DeviceHandle OpenDevice(const std::string& path, AccessMode mode) override;
  bool SendPassThrough(DeviceHandle handle, PassThroughRecord& record) override;
  std::uint32_t LastErrorCode() override { return lastError_; }
  bool QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) override;
  void CloseDevice(DeviceHandle handle) override;
  bool EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) override;
  std::vector<VolumeInfo> ListVolumes() override;
  std::uint32_t MaxTransferBytes(const std::string& devicePath) override;

 private:
  void Write(const std::string& line);

  std::ostream& out_;
  TraceContent content_;
  std::map<DeviceHandle, std::string> paths_;
  std::map<std::string, std::uint32_t> limits_;  // as last written, so each is written once
  std::uint32_t lastError_ = 0;
};

}  // namespace q71x::trace
