// SPDX-License-Identifier: GPL-2.0-or-later
// q71x-bridge-probe DEVNODE: run by udev for the SCSI generic node of a USB or FireWire disk.
// Exits 0 and prints the chip code when the device's INQUIRY reply names a bridge of the chip
// table, 1 otherwise (2 for a usage error). The udev rule then grants the seat's user access to
// that node only.
//
// It sends nothing but one standard INQUIRY, through a read-only open: the SCSI generic driver
// passes only commands that cannot change a device on such a descriptor, so whatever disk udev
// hands us, nothing is written to it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <span>

#include "src/device/inquiry_chip_code.h"
#include "src/device/platform/linux/sg_io.h"

namespace {

constexpr std::uint8_t kInquiryOpcode = 0x12;
constexpr std::uint32_t kInquiryTimeoutSeconds = 5;

enum ProbeExit { kBridge = 0, kNotABridge = 1, kUsage = 2 };

// The bytes of the device's standard INQUIRY reply that arrived; empty when it did not answer.
std::span<const std::uint8_t> AskInquiry(int fd, std::array<std::uint8_t, 64>& reply) {
  q71x::PassThroughRecord record;
  record.CdbLength = 6;
  record.Cdb[0] = kInquiryOpcode;
  record.Cdb[4] = static_cast<std::uint8_t>(q71x::kInquiryReplyWithChipCode);
  record.DataIn = 1;
  record.DataBuffer = reply.data();
  record.DataTransferLength = static_cast<std::uint32_t>(q71x::kInquiryReplyWithChipCode);
  record.TimeOutValue = kInquiryTimeoutSeconds;
  const auto outcome =
      q71x::linux_platform::ExecuteSgIo(fd, record, q71x::linux_platform::RealSgIoctl());
  if (!outcome.Ok || record.Outcome.Result != q71x::PassThroughResult::Good) {
    return {};
  }
  return std::span<const std::uint8_t>(reply.data(), record.DataTransferLength);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: q71x-bridge-probe /dev/sgN\n");
    return kUsage;
  }
  const int fd = ::open(argv[1], O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    return kNotABridge;
  }
  struct stat info {};
  std::array<std::uint8_t, 64> reply{};
  const q71x::ChipTypeRow* row = nullptr;
  if (::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode)) {
    row = q71x::ChipRowOfInquiry(AskInquiry(fd, reply));
  }
  ::close(fd);
  if (row == nullptr) {
    return kNotABridge;
  }
  std::printf("%.*s\n", static_cast<int>(row->InquiryCode.size()), row->InquiryCode.data());
  return kBridge;
}
