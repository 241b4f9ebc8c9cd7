// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/trace/recording_platform.h"

#include <algorithm>
#include <sstream>

#include "src/device/platform/trace/trace_format.h"

namespace q71x::trace {

RecordingPlatform::RecordingPlatform(Platform& inner, std::ostream& out, TraceContent content)
    : ForwardingPlatform(inner), out_(out), content_(content) {
  Write(content == TraceContent::Everything ? kTraceHeader : kTraceHeaderWithoutData);
}

void RecordingPlatform::Write(const std::string& line) {
  out_ << line << '\n';
  out_.flush();
}

DeviceHandle RecordingPlatform::OpenDevice(const std::string& path, AccessMode mode) {
  const DeviceHandle handle = Inner().OpenDevice(path, mode);
  lastError_ = Inner().LastErrorCode();
  const bool ok = handle != kInvalidDeviceHandle;
  if (ok) {
    paths_[handle] = path;
  }
  std::ostringstream line;
  line << "OPEN " << AccessModeLetter(mode) << ' ' << ToHex(path) << ' ' << (ok ? 1 : 0) << ' '
       << lastError_;
  Write(line.str());
  return handle;
}

bool RecordingPlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  PassThroughExchange e;
  e.Path = paths_[handle];
  e.Cdb.assign(record.Cdb, record.Cdb + std::min<std::size_t>(record.CdbLength, 16));
  e.DataIn = record.DataIn;
  e.Length = record.DataTransferLength;
  e.Timeout = record.TimeOutValue;
  // Flash images, disk identities and sectors travel here; a report may have to do without them.
  e.DataLeftOut = content_ == TraceContent::WithoutData;
  if (!e.DataLeftOut && record.DataIn == 0 && record.DataBuffer != nullptr) {
    e.DataOut.assign(record.DataBuffer, record.DataBuffer + record.DataTransferLength);
  }
  e.Ok = Inner().SendPassThrough(handle, record);
  lastError_ = Inner().LastErrorCode();
  e.Error = lastError_;
  e.Transferred = record.DataTransferLength;
  e.Outcome = record.Outcome;
  if (!e.DataLeftOut && record.DataIn != 0 && record.DataBuffer != nullptr) {
    e.DataInBytes.assign(record.DataBuffer, record.DataBuffer + e.Length);
  }
  Write(FormatPassThrough(e));
  return e.Ok;
}

bool RecordingPlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  const bool ok = Inner().QueryDeviceNumber(handle, out);
  lastError_ = Inner().LastErrorCode();
  std::ostringstream line;
  line << "DEVNUM " << ToHex(paths_[handle]) << ' ' << (ok ? 1 : 0) << ' ' << lastError_ << ' '
       << out.DeviceType << ' ' << out.DeviceNumber << ' ' << out.PartitionNumber;
  Write(line.str());
  return ok;
}

void RecordingPlatform::CloseDevice(DeviceHandle handle) {
  Inner().CloseDevice(handle);
  paths_.erase(handle);
}

bool RecordingPlatform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  const bool ok = Inner().EnumerateInterfaces(cls, paths);
  std::ostringstream line;
  line << "ENUM " << (cls == InterfaceClass::Disk ? 'D' : 'C') << ' ' << (ok ? 1 : 0);
  for (const auto& path : paths) {
    line << ' ' << ToHex(path);
  }
  Write(line.str());
  return ok;
}

std::vector<VolumeInfo> RecordingPlatform::ListVolumes() {
  std::vector<VolumeInfo> volumes = Inner().ListVolumes();
  std::ostringstream line;
  line << "VOLUMES";
  for (const auto& v : volumes) {
    line << ' ' << ToHex(v.Name) << ',' << ToHex(v.QueryPath) << ',' << (v.IsSystem ? 1 : 0) << ','
         << (v.IsRemote ? 1 : 0);
  }
  Write(line.str());
  return volumes;
}

std::uint32_t RecordingPlatform::MaxTransferBytes(const std::string& devicePath) {
  const std::uint32_t bytes = Inner().MaxTransferBytes(devicePath);
  // Asked before every addressed transfer; the trace needs it only when it changes.
  const auto known = limits_.find(devicePath);
  if (known == limits_.end() || known->second != bytes) {
    limits_[devicePath] = bytes;
    Write("LIMIT " + ToHex(devicePath) + ' ' + std::to_string(bytes));
  }
  return bytes;
}

}  // namespace q71x::trace
