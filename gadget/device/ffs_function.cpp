// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/device/ffs_function.h"

#include <fcntl.h>
#include <unistd.h>

#include <linux/usb/ch9.h>
#include <linux/usb/functionfs.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "gadget/bot/bulk_only.h"
#include "gadget/bot/bulk_only_command.h"
#include "gadget/device/ffs_descriptors.h"

namespace q71x::gadget {
namespace {

// After a transfer was cut off (unbind, disconnect, reset) the next one blocks until the
// function is enabled again; this pause only keeps a persistent error from spinning.
constexpr auto kErrorPause = std::chrono::milliseconds(20);

bool WriteBlob(int fd, const std::vector<std::uint8_t>& blob) {
  return ::write(fd, blob.data(), blob.size()) == static_cast<ssize_t>(blob.size());
}

int OpenEndpoint(const std::filesystem::path& file, std::string& error) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + file.string() + ": " + std::strerror(errno);
  }
  return fd;
}

}  // namespace

FfsFunction::~FfsFunction() {
  for (const int fd : {bulkIn_, bulkOut_, ep0_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

bool FfsFunction::Open(const std::filesystem::path& mountDir, std::string& error) {
  ep0_ = OpenEndpoint(mountDir / "ep0", error);
  if (ep0_ < 0) {
    return false;
  }
  if (!WriteBlob(ep0_, BuildFfsDescriptors()) ||
      !WriteBlob(ep0_, BuildFfsStrings("Q71x simulated bridge"))) {
    error = "FunctionFS refused the descriptors: " + std::string(std::strerror(errno));
    return false;
  }
  bulkIn_ = OpenEndpoint(mountDir / kBulkInEndpointFile, error);
  bulkOut_ = bulkIn_ < 0 ? -1 : OpenEndpoint(mountDir / kBulkOutEndpointFile, error);
  return bulkIn_ >= 0 && bulkOut_ >= 0;
}

void FfsFunction::Start(ScsiTarget& target, std::mutex& targetLock) {
  std::thread([this] { ControlLoop(); }).detach();
  std::thread([this, &target, &targetLock] { BulkLoop(target, targetLock); }).detach();
}

void FfsFunction::ControlLoop() {
  usb_functionfs_event events[4];
  for (;;) {
    const ssize_t got = ::read(ep0_, events, sizeof events);
    if (got < 0) {
      if (errno != EINTR) {
        std::this_thread::sleep_for(kErrorPause);
      }
      continue;
    }
    for (ssize_t i = 0; i < got / static_cast<ssize_t>(sizeof events[0]); ++i) {
      const usb_functionfs_event& event = events[i];
      if (event.type == FUNCTIONFS_SETUP) {
        const usb_ctrlrequest& setup = event.u.setup;
        HandleSetup(setup.bRequestType, setup.bRequest, le16toh(setup.wValue),
                    le16toh(setup.wLength));
      } else if (event.type == FUNCTIONFS_ENABLE) {
        std::fputs("q71x-gadget: function enabled\n", stderr);
      } else if (event.type == FUNCTIONFS_DISABLE) {
        std::fputs("q71x-gadget: function disabled\n", stderr);
      }
    }
  }
}

void FfsFunction::HandleSetup(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                              std::uint16_t length) {
  if (requestType == kRequestTypeClassInterfaceIn && request == kRequestGetMaxLun && value == 0 &&
      length >= 1) {
    const std::uint8_t maxLun = 0;  // one logical unit
    (void)::write(ep0_, &maxLun, 1);
    return;
  }
  if (requestType == kRequestTypeClassInterfaceOut && request == kRequestMassStorageReset &&
      value == 0 && length == 0) {
    (void)::read(ep0_, nullptr, 0);  // status stage
    ++resets_;
    {
      std::lock_guard<std::mutex> lock(resetLock_);
      resetSeen_ = true;
    }
    resetSignal_.notify_all();
    return;
  }
  // FunctionFS stalls the control endpoint when the data stage is taken in the wrong direction.
  if ((requestType & USB_DIR_IN) != 0) {
    (void)::read(ep0_, nullptr, 0);
  } else {
    (void)::write(ep0_, nullptr, 0);
  }
}

void FfsFunction::BulkLoop(ScsiTarget& target, std::mutex& targetLock) {
  for (;;) {
    switch (ServeBulkOnlyCommand(bulkOut_, bulkIn_, target, targetLock)) {
      case BulkOnlyResult::Served:
        break;
      case BulkOnlyResult::TransferCut:
        std::this_thread::sleep_for(kErrorPause);
        break;
      case BulkOnlyResult::NotACommand:
        // The transport asks for both pipes to stay halted until the host resets the device.
        StallUntilReset();
        break;
    }
  }
}

void FfsFunction::StallUntilReset() {
  {
    std::lock_guard<std::mutex> lock(resetLock_);
    resetSeen_ = false;
  }
  // Reading the bulk-in file or writing the bulk-out file halts that endpoint.
  std::uint8_t none = 0;
  (void)::read(bulkIn_, &none, sizeof none);
  (void)::write(bulkOut_, &none, sizeof none);
  std::unique_lock<std::mutex> lock(resetLock_);
  resetSignal_.wait(lock, [this] { return resetSeen_; });
}

}  // namespace q71x::gadget
