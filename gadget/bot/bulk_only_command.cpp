// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/bot/bulk_only_command.h"

#include <unistd.h>

#include <cerrno>
#include <span>
#include <vector>

#include "gadget/bot/bulk_only.h"

namespace q71x::gadget {
namespace {

// A host sends a wrapper as one packet; a high-speed packet is the most one read returns.
constexpr std::size_t kWrapperReadLength = 512;

bool ReadFully(int fd, std::span<std::uint8_t> area) {
  std::size_t done = 0;
  while (done < area.size()) {
    const ssize_t got = ::read(fd, area.data() + done, area.size() - done);
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

bool WriteFully(int fd, std::span<const std::uint8_t> area) {
  std::size_t done = 0;
  while (done < area.size()) {
    const ssize_t put = ::write(fd, area.data() + done, area.size() - done);
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

}  // namespace

BulkOnlyResult ServeBulkOnlyCommand(int bulkOutFd, int bulkInFd, ScsiTarget& target,
                                    std::mutex& targetLock) {
  std::uint8_t wrapper[kWrapperReadLength];
  ssize_t got = -1;
  do {
    got = ::read(bulkOutFd, wrapper, sizeof wrapper);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    return BulkOnlyResult::TransferCut;
  }
  const std::optional<CommandBlockWrapper> cbw = ParseCommandBlockWrapper(
      std::span<const std::uint8_t>(wrapper, static_cast<std::size_t>(got)));
  if (!cbw) {
    return BulkOnlyResult::NotACommand;
  }

  std::vector<std::uint8_t> data(cbw->DataTransferLength, 0x00);
  if (!cbw->DataIn && !data.empty() && !ReadFully(bulkOutFd, data)) {
    return BulkOnlyResult::TransferCut;
  }
  ScsiOutcome outcome;
  {
    std::lock_guard<std::mutex> lock(targetLock);
    outcome = target.Execute(cbw->Cdb, cbw->CdbLength, cbw->DataIn, data);
  }
  if (cbw->DataIn && !data.empty() && !WriteFully(bulkInFd, data)) {
    return BulkOnlyResult::TransferCut;
  }
  const std::uint32_t meant = std::min(outcome.Transferred, cbw->DataTransferLength);
  const auto csw =
      BuildCommandStatusWrapper(cbw->Tag, cbw->DataTransferLength - meant,
                                outcome.Passed ? CswStatus::Passed : CswStatus::Failed);
  return WriteFully(bulkInFd, csw) ? BulkOnlyResult::Served : BulkOnlyResult::TransferCut;
}

}  // namespace q71x::gadget
