// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/transport.h"

#include <cstring>
#include <new>

#include "src/device/aligned_buffer.h"
#include "src/device/failed_command.h"

namespace q71x {
namespace {

// The record lives in its own aligned block with room to spare, as the pass-through facility
// of the original platform expects.
constexpr std::size_t kRecordBlockSize = 1068;
static_assert(sizeof(PassThroughRecord) <= kRecordBlockSize);

// A 1-byte transfer goes on the wire as 2 bytes.
std::uint32_t WireLength(std::uint32_t length) {
  return length == 1 ? 2 : length;
}

// Another program's exclusive open (its list or chip check) lasts moments: a device found busy is
// tried again a few times, waiting longer each time, before the command fails; a run past its
// erase must not be given up for that.
constexpr int kBusyOpenTries = 6;
constexpr std::uint32_t kBusyRetryStepMs = 200;

DeviceHandle OpenRetryingWhileBusy(const std::string& path, AccessMode mode) {
  Platform& platform = ActivePlatform();
  for (int attempt = 1;; ++attempt) {
    const DeviceHandle handle = platform.OpenDevice(path, mode);
    if (handle != kInvalidDeviceHandle || attempt >= kBusyOpenTries ||
        !platform.IsBusy(platform.LastErrorCode())) {
      return handle;
    }
    platform.SleepMs(kBusyRetryStepMs * static_cast<std::uint32_t>(attempt));
  }
}

class DeviceOpen {
 public:
  DeviceOpen(const std::string& path, AccessMode mode)
      : handle_(OpenRetryingWhileBusy(path, mode)) {}
  ~DeviceOpen() {
    if (ok()) {
      ActivePlatform().CloseDevice(handle_);
    }
  }
  DeviceOpen(const DeviceOpen&) = delete;
  DeviceOpen& operator=(const DeviceOpen&) = delete;
  bool ok() const { return handle_ != kInvalidDeviceHandle; }
  DeviceHandle handle() const { return handle_; }

 private:
  DeviceHandle handle_;
};

PassThroughRecord* PrepareRecord(AlignedBuffer& recordBlock, const CommandBlock& cdb,
                                 std::uint8_t dataIn, std::uint32_t wireLength,
                                 std::uint32_t timeout, std::uint8_t* data) {
  auto* record = new (recordBlock.data()) PassThroughRecord{};
  record->Length = kPassThroughRecordLength;
  record->PathId = 0;
  record->TargetId = 1;
  record->Lun = 0;
  record->CdbLength = cdb.length;
  record->SenseInfoLength = 0;
  record->DataIn = dataIn;
  record->DataTransferLength = wireLength;
  record->TimeOutValue = timeout;
  record->DataBuffer = data;
  record->SenseInfoOffset = kSenseInfoOffset;
  std::memcpy(record->Cdb, cdb.bytes.data(), cdb.length <= 16 ? cdb.length : 16);
  return record;
}

}  // namespace

std::uint32_t DataOutTimeout(const CommandBlock& cdb) {
  if (cdb[2] == 0x13) {
    return kLongTimeoutSeconds;
  }
  if (cdb.length >= 12 && cdb[11] == 0xFB && cdb[1] == 0x03) {
    return kLongTimeoutSeconds;
  }
  return kDataOutTimeoutSeconds;
}

namespace {

enum class LengthRule { Whole, UpTo };

// A backend that reports a failure without saying why still leaves its error code; a request
// carried out with an error code pending is the system's doing too.
void SettleOutcome(PassThroughOutcome& outcome, bool sent, std::uint32_t error) {
  if (outcome.Result == PassThroughResult::Good && (!sent || error != 0)) {
    outcome.Result = PassThroughResult::OsError;
    outcome.ErrorCode = error;
  }
}

// A path that does not open leaves the system's error code as the reason.
void NoteOpenFailure(std::uint8_t opcode, std::uint32_t length) {
  FailedCommand failure{opcode, {}, false, length, 0};
  failure.Outcome.Result = PassThroughResult::OsError;
  failure.Outcome.ErrorCode = ActivePlatform().LastErrorCode();
  NoteFailedCommand(failure);
}

// Opens the path, issues one request with the data area copied in from `source` (data out) or
// out to `destination` (data in, whether or not the request succeeded), and closes the path.
int IssuePassThrough(const std::string& devicePath, AccessMode mode, const CommandBlock& cdb,
                     std::uint8_t dataIn, std::uint32_t timeout, const void* source,
                     void* destination, std::uint32_t length, LengthRule rule,
                     std::uint32_t* transferred, PassThroughOutcome* outcome) {
  DeviceOpen device(devicePath, mode);
  if (!device.ok()) {
    NoteOpenFailure(cdb[0], length);
    return 0;
  }
  const std::uint32_t wireLength = WireLength(length);
  AlignedBuffer recordBlock(kRecordBlockSize);
  AlignedBuffer dataBlock(wireLength);
  if (!recordBlock.ok() || !dataBlock.ok()) {
    // Nothing is sent with a buffer we do not have.
    return 0;
  }
  if (length > 0 && source != nullptr) {
    std::memcpy(dataBlock.data(), source, length);
  }
  PassThroughRecord* record =
      PrepareRecord(recordBlock, cdb, dataIn, wireLength, timeout, dataBlock.data());

  Platform& platform = ActivePlatform();
  const bool sent = platform.SendPassThrough(device.handle(), *record);
  const std::uint32_t error = platform.LastErrorCode();
  if (length > 0 && destination != nullptr) {
    std::memcpy(destination, dataBlock.data(), length);
  }
  SettleOutcome(record->Outcome, sent, error);
  const std::uint32_t moved = record->DataTransferLength;
  if (transferred != nullptr) {
    *transferred = moved;
  }
  if (outcome != nullptr) {
    *outcome = record->Outcome;
  }
  const bool good = record->Outcome.Result == PassThroughResult::Good;
  const bool whole = rule == LengthRule::UpTo || moved >= length;
  if (!good || !whole) {
    platform.DebugOutput(DescribePassThroughFailure(cdb[0], record->Outcome, length, moved));
    NoteFailedCommand(FailedCommand{cdb[0], record->Outcome, true, length, moved});
  }
  return good && whole ? 1 : 0;
}

}  // namespace

int PassThroughIn(const std::string& devicePath, const CommandBlock& cdb, void* buffer,
                  std::uint32_t length, std::uint32_t* transferred, PassThroughOutcome* outcome) {
  return IssuePassThrough(devicePath, AccessMode::SharedReadWrite, cdb, 1, kDataInTimeoutSeconds,
                          nullptr, buffer, length, LengthRule::Whole, transferred, outcome);
}

int PassThroughInUpTo(const std::string& devicePath, const CommandBlock& cdb, void* buffer,
                      std::uint32_t length, std::uint32_t* transferred,
                      PassThroughOutcome* outcome) {
  return IssuePassThrough(devicePath, AccessMode::SharedReadWrite, cdb, 1, kDataInTimeoutSeconds,
                          nullptr, buffer, length, LengthRule::UpTo, transferred, outcome);
}

int PassThroughOut(const std::string& devicePath, const CommandBlock& cdb, const void* buffer,
                   std::uint32_t length, std::uint32_t* transferred, PassThroughOutcome* outcome) {
  return IssuePassThrough(devicePath, AccessMode::ExclusiveReadWrite, cdb, 0, DataOutTimeout(cdb),
                          buffer, nullptr, length, LengthRule::UpTo, transferred, outcome);
}

int GetDeviceNumber(const std::string& path, StorageDeviceNumber& out) {
  DeviceOpen device(path, AccessMode::QueryOnly);
  if (!device.ok()) {
    return 0;
  }
  Platform& platform = ActivePlatform();
  const bool ok = platform.QueryDeviceNumber(device.handle(), out);
  const std::uint32_t error = platform.LastErrorCode();
  return ok && error == 0 ? 1 : 0;
}

}  // namespace q71x
