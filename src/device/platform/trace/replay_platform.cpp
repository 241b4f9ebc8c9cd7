// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/trace/replay_platform.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace q71x::trace {
namespace {

constexpr std::uint32_t kNotInTrace = 0xE0000001;  // our own code: no recorded answer

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator)) {
    parts.push_back(part);
  }
  return parts;
}

}  // namespace

bool ReplayPlatform::Load(std::istream& in) {
  std::string line;
  if (std::getline(in, line) && line == kTraceHeaderWithoutData) {
    parseErrors_.push_back(
        "this trace was recorded without data (--no-data): it lists the commands but not the "
        "bytes a replay must answer with; record the session again with its data to replay it");
    return false;
  }
  if (!in || line != kTraceHeader) {
    parseErrors_.push_back("not a trace: the first line is not \"" + std::string(kTraceHeader) +
                           "\"");
    return false;
  }
  while (std::getline(in, line)) {
    if (!line.empty() && !ParseLine(line)) {
      parseErrors_.push_back(line);
    }
  }
  used_.assign(exchanges_.size(), false);
  return parseErrors_.empty();
}

bool ReplayPlatform::ParseLine(const std::string& line) {
  std::istringstream in(line);
  std::string tag;
  in >> tag;
  if (tag == "PT") {
    auto exchange = ParsePassThrough(line);
    if (!exchange) {
      return false;
    }
    exchanges_.push_back(std::move(*exchange));
    return true;
  }
  if (tag == "OPEN") {
    std::string mode, path;
    int ok = 0;
    std::uint32_t error = 0;
    if (!(in >> mode >> path >> ok >> error)) {
      return false;
    }
    auto text = TextFromHex(path);
    if (!text) {
      return false;
    }
    openable_[mode + *text] = ok != 0;
    return true;
  }
  if (tag == "DEVNUM") {
    std::string path;
    int ok = 0;
    DeviceNumberAnswer answer;
    if (!(in >> path >> ok >> answer.Error >> answer.Number.DeviceType >>
          answer.Number.DeviceNumber >> answer.Number.PartitionNumber)) {
      return false;
    }
    auto text = TextFromHex(path);
    if (!text) {
      return false;
    }
    answer.Ok = ok != 0;
    deviceNumbers_[*text] = answer;
    return true;
  }
  if (tag == "LIMIT") {
    std::string path;
    std::uint32_t bytes = 0;
    if (!(in >> path >> bytes)) {
      return false;
    }
    auto text = TextFromHex(path);
    if (!text) {
      return false;
    }
    limits_[*text] = bytes;
    return true;
  }
  if (tag == "ENUM") {
    std::string cls, path;
    int ok = 0;
    if (!(in >> cls >> ok) || (cls != "D" && cls != "C")) {
      return false;
    }
    Enumeration enumeration{ok != 0, {}};
    while (in >> path) {
      auto text = TextFromHex(path);
      if (!text) {
        return false;
      }
      enumeration.Paths.push_back(*text);
    }
    enumerations_[cls == "D" ? InterfaceClass::Disk : InterfaceClass::Cdrom] = enumeration;
    return true;
  }
  if (tag == "VOLUMES") {
    std::vector<VolumeInfo> volumes;
    std::string item;
    while (in >> item) {
      const auto fields = Split(item, ',');
      if (fields.size() != 4) {
        return false;
      }
      auto name = TextFromHex(fields[0]);
      auto query = TextFromHex(fields[1]);
      if (!name || !query) {
        return false;
      }
      volumes.push_back(VolumeInfo{*name, *query, fields[2] == "1", fields[3] == "1"});
    }
    volumes_ = volumes;
    return true;
  }
  return false;
}

std::uint32_t ReplayPlatform::MaxTransferBytes(const std::string& devicePath) {
  const auto it = limits_.find(devicePath);
  return it == limits_.end() ? 0 : it->second;
}

std::size_t ReplayPlatform::UnusedExchanges() const {
  return static_cast<std::size_t>(std::count(used_.begin(), used_.end(), false));
}

DeviceHandle ReplayPlatform::OpenDevice(const std::string& path, AccessMode mode) {
  auto it = openable_.find(std::string(1, AccessModeLetter(mode)) + path);
  if (it == openable_.end() || !it->second) {
    lastError_ = it == openable_.end() ? kNotInTrace : 2;
    if (it == openable_.end()) {
      unmatched_.push_back(std::string("open ") + AccessModeLetter(mode) + " " + path);
    }
    return kInvalidDeviceHandle;
  }
  const DeviceHandle handle = nextHandle_++;
  open_[handle] = path;
  lastError_ = 0;
  return handle;
}

bool ReplayPlatform::SendPassThrough(DeviceHandle handle, PassThroughRecord& record) {
  PassThroughExchange request;
  request.Path = open_.count(handle) != 0 ? open_[handle] : std::string();
  request.Cdb.assign(record.Cdb, record.Cdb + std::min<std::size_t>(record.CdbLength, 16));
  request.DataIn = record.DataIn;
  request.Length = record.DataTransferLength;
  request.Timeout = record.TimeOutValue;
  if (record.DataIn == 0 && record.DataBuffer != nullptr) {
    request.DataOut.assign(record.DataBuffer, record.DataBuffer + record.DataTransferLength);
  }
  for (std::size_t i = 0; i < exchanges_.size(); ++i) {
    const PassThroughExchange& e = exchanges_[i];
    if (used_[i] || e.Path != request.Path || e.Cdb != request.Cdb || e.DataIn != request.DataIn ||
        e.Length != request.Length || e.Timeout != request.Timeout ||
        e.DataOut != request.DataOut) {
      continue;
    }
    used_[i] = true;
    if (record.DataIn != 0 && record.DataBuffer != nullptr) {
      std::memcpy(record.DataBuffer, e.DataInBytes.data(),
                  std::min<std::size_t>(e.DataInBytes.size(), record.DataTransferLength));
    }
    record.DataTransferLength = e.Transferred;
    record.ScsiStatus = e.Outcome.ScsiStatus;
    record.Outcome = e.Outcome;
    lastError_ = e.Error;
    return e.Ok;
  }
  unmatched_.push_back(FormatPassThrough(request));
  lastError_ = kNotInTrace;
  record.DataTransferLength = 0;
  return false;
}

bool ReplayPlatform::QueryDeviceNumber(DeviceHandle handle, StorageDeviceNumber& out) {
  auto it = deviceNumbers_.find(open_.count(handle) != 0 ? open_[handle] : std::string());
  if (it == deviceNumbers_.end()) {
    lastError_ = kNotInTrace;
    return false;
  }
  out = it->second.Number;
  lastError_ = it->second.Error;
  return it->second.Ok;
}

bool ReplayPlatform::EnumerateInterfaces(InterfaceClass cls, std::vector<std::string>& paths) {
  auto it = enumerations_.find(cls);
  if (it == enumerations_.end()) {
    paths.clear();
    return false;
  }
  paths = it->second.Paths;
  return it->second.Ok;
}

}  // namespace q71x::trace
