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
#include "gadget/device/ffs_descriptors.h"

namespace q71x::gadget {
namespace {

// After a transfer was cut off (unbind, disconnect, reset) the next one blocks until the
// function is enabled again; this pause only keeps a persistent error from spinning.
constexpr auto kErrorPause = std::chrono::milliseconds(20);
// A host sends a wrapper as one packet; a high-speed packet is the most one read returns.
constexpr std::size_t kWrapperReadLength = 512;

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
    if (!ServeOneCommand(target, targetLock)) {
      std::this_thread::sleep_for(kErrorPause);
    }
  }
}

bool FfsFunction::ReadFully(std::span<std::uint8_t> area) {
  std::size_t done = 0;
  while (done < area.size()) {
    const ssize_t got = ::read(bulkOut_, area.data() + done, area.size() - done);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool FfsFunction::WriteFully(std::span<const std::uint8_t> area) {
  std::size_t done = 0;
  while (done < area.size()) {
    const ssize_t put = ::write(bulkIn_, area.data() + done, area.size() - done);
    if (put < 0 && errno == EINTR) {
      continue;
    }
    if (put <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
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

bool FfsFunction::ServeOneCommand(ScsiTarget& target, std::mutex& targetLock) {
  std::uint8_t wrapper[kWrapperReadLength];
  const ssize_t got = ::read(bulkOut_, wrapper, sizeof wrapper);
  if (got < 0) {
    return errno == EINTR;
  }
  const std::optional<CommandBlockWrapper> cbw = ParseCommandBlockWrapper(
      std::span<const std::uint8_t>(wrapper, static_cast<std::size_t>(got)));
  if (!cbw) {
    // Not a command: the transport asks for both pipes to stay halted until the host resets.
    StallUntilReset();
    return true;
  }

  std::vector<std::uint8_t> data(cbw->DataTransferLength, 0x00);
  if (!cbw->DataIn && !data.empty() && !ReadFully(data)) {
    return false;
  }
  ScsiOutcome outcome;
  {
    std::lock_guard<std::mutex> lock(targetLock);
    outcome = target.Execute(cbw->Cdb, cbw->CdbLength, cbw->DataIn, data);
  }
  // A data-in phase always moves the length the host asked for; the residue in the status tells
  // how much of it the device meant. A failed command pads with zeros the same way.
  if (cbw->DataIn && !data.empty() && !WriteFully(data)) {
    return false;
  }
  const std::uint32_t meant = std::min(outcome.Transferred, cbw->DataTransferLength);
  const auto csw =
      BuildCommandStatusWrapper(cbw->Tag, cbw->DataTransferLength - meant,
                                outcome.Passed ? CswStatus::Passed : CswStatus::Failed);
  return WriteFully(csw);
}

}  // namespace q71x::gadget
