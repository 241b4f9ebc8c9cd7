// SPDX-License-Identifier: GPL-2.0-or-later
// Runs the chip check's probe sequence (identification, the file match, the flash
// determination, the firmware version) and one update procedure (chosen by the
// first input byte, with its engineering action) against a bridge whose every reply comes from
// the fuzzer's bytes: whether the request succeeds, leaves an error code or moves less, and the
// data it returns. No reply may make the tool read or write outside a buffer, leak, loop for
// ever or trip the sanitizers. Sleeps advance a virtual clock, so waits cost nothing.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "src/catalog/chip_tables.h"
#include "src/device/platform/platform.h"
#include "src/host/user_dialogs.h"
#include "src/image/firmware_match.h"
#include "src/image/sample_image.h"
#include "src/tool/chip_probe.h"
#include "src/update/update_procedure.h"
#include "tests/support/recording_window.h"

namespace {

// Each exchange opens with one control byte; the data of a data-in reply follows it.
constexpr std::uint8_t kRequestFails = 0x80;
constexpr std::uint8_t kLeavesErrorCode = 0x40;
constexpr std::uint8_t kMovesLess = 0x20;
constexpr std::uint8_t kBulkIsErased = 0x10;  // data past the input's end reads 0xFF, not 0x00
constexpr std::uint32_t kErrorIoDevice = 1117;
constexpr const char* kDevicePath = "usbstor:fuzz";

// The whole bridge, played by the input. Once the input runs out every request succeeds with
// zeros, so that every loop of the procedures comes to its end.
class FuzzReplyPlatform final : public q71x::Platform {
 public:
  FuzzReplyPlatform(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  q71x::DeviceHandle OpenDevice(const std::string&, q71x::AccessMode) override { return 1; }

  bool SendPassThrough(q71x::DeviceHandle, q71x::PassThroughRecord& record) override {
    const std::uint8_t control = Next(0);
    lastError_ = 0;
    if (record.DataIn != 0 && record.DataBuffer != nullptr) {
      const std::size_t length = record.DataTransferLength;
      const std::size_t fromInput = std::min(length, size_ - offset_);
      std::memcpy(record.DataBuffer, data_ + offset_, fromInput);
      offset_ += fromInput;
      std::memset(record.DataBuffer + fromInput, (control & kBulkIsErased) != 0 ? 0xFF : 0x00,
                  length - fromInput);
    }
    if ((control & kMovesLess) != 0) {
      record.DataTransferLength = std::min<std::uint32_t>(record.DataTransferLength, Next(0));
    }
    if ((control & kLeavesErrorCode) != 0) {
      lastError_ = kErrorIoDevice;
    }
    nowMs_ += 1;
    return (control & kRequestFails) == 0;
  }
  std::uint32_t LastErrorCode() override { return lastError_; }
  bool QueryDeviceNumber(q71x::DeviceHandle, q71x::StorageDeviceNumber& out) override {
    out = {};
    return true;
  }
  void CloseDevice(q71x::DeviceHandle) override {}
  bool EnumerateInterfaces(q71x::InterfaceClass, std::vector<std::string>& paths) override {
    paths.assign(1, kDevicePath);
    return true;
  }
  std::vector<q71x::VolumeInfo> ListVolumes() override { return {}; }
  void SleepMs(std::uint32_t ms) override { nowMs_ += ms; }
  std::uint64_t MonotonicMs() override { return nowMs_; }
  void DebugOutput(const std::string&) override {}

  std::uint8_t Next(std::uint8_t whenExhausted) {
    return offset_ < size_ ? data_[offset_++] : whenExhausted;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  std::uint32_t lastError_ = 0;
  std::uint64_t nowMs_ = 0;
};

// The image and backup files of every run, in a directory of this process.
struct ScratchFiles {
  ScratchFiles() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "q71x-fuzz-dev-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    directory = pattern;
    image = (directory / "image.bin").string();
    backup = (directory / "backup.bin").string();
    q71x::SampleImageOptions options;
    options.Size = 40 * 1024;
    options.NvramBlock = true;
    if (q71x::WriteSampleImage(image, options) != 1) {
      std::abort();
    }
  }
  ~ScratchFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
  std::filesystem::path directory;
  std::string image;
  std::string backup;
};

const ScratchFiles& Files() {
  static const ScratchFiles files;
  return files;
}

// The first input byte picks from these, in this order (kept so that stored inputs replay).
constexpr q71x::UpdateProcedure kProcedures[] = {
    q71x::UpdateProcedure::UpdateSerialFlash,    q71x::UpdateProcedure::UpdateFlashWithNvram,
    q71x::UpdateProcedure::UpdateSerialFlashSpi, q71x::UpdateProcedure::UpdateDfFlash,
    q71x::UpdateProcedure::UpdateDf2Flash,       q71x::UpdateProcedure::UpdateParallelFlash,
    q71x::UpdateProcedure::UpdateDiskFirmware,
};
constexpr int kProcedureCount = static_cast<int>(std::size(kProcedures));

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  q71x::SetMessageBoxHandler([](const q71x::MessageBoxRequest&) {});
  Files();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  // The first two bytes choose the run; the rest is the bridge.
  const int procedure = data[0] % kProcedureCount;
  const auto action = static_cast<q71x::EngineeringAction>((data[0] / kProcedureCount) % 3);
  const std::uint8_t ticks = data[1];
  FuzzReplyPlatform platform(data + 2, size - 2);
  q71x::ScopedActivePlatform scope(platform);

  q71x::testing::RecordingWindow window;
  window.firmwareFile = Files().image;
  window.backupFile = Files().backup;
  q71x::ProbeChip(kDevicePath, window.state, window.settings);
  q71x::FirmwareMatchesChip(
      Files().image, q71x::MakeChipIdentity(window.state.ChipType, window.state.ChipRevision));
  window.nvram = (ticks & 0x01) != 0;
  window.a1Chip = (ticks & 0x02) != 0;
  window.parallelPart = (ticks >> 2) % 4;
  window.TickFor(action);
  q71x::RunUpdateProcedure(kProcedures[procedure], window, kDevicePath,
                           window.ParallelFlashPartIndex());
  return 0;
}
