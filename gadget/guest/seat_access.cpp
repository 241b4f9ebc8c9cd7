// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/seat_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace q71x::guest {
namespace {

// The kernel's mass-storage function answers INQUIRY with this product name: a USB disk that
// is no bridge.
constexpr const char* kPlainDiskModel = "File-Stor Gadget";

// 0 when `node` opens with `flags` as `user`, else the errno the kernel gave.
int OpenErrnoAs(const SeatUser& user, const std::string& node, int flags) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (!BecomeUser(user)) {
      ::_exit(255);
    }
    const int fd = ::open(node.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    ::_exit(fd >= 0 ? 0 : errno);
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

std::vector<std::string> PlainDiskNodes() {
  std::vector<std::string> nodes;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/sys/class/scsi_generic", ec)) {
    std::ifstream in(entry.path() / "device/model");
    std::string model;
    std::getline(in, model);
    if (model.rfind(kPlainDiskModel, 0) == 0) {
      nodes.push_back("/dev/" + entry.path().filename().string());
    }
  }
  return nodes;
}

// Neither the owner nor the group nor the "other" bits let the user in: whatever access it
// has comes from the access list udev's seat grant put on the node.
bool ModeGrantsNothingTo(const SeatUser& user, const std::string& node) {
  struct stat info {};
  return ::stat(node.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_uid != user.Uid &&
         info.st_gid != user.Gid && (info.st_mode & 0007) == 0;
}

}  // namespace

void CheckSeatAccess(StepLog& log, const SeatUser& user,
                     const std::vector<std::string>& bridgeNodes) {
  const std::string who = "uid " + std::to_string(user.Uid);
  bool granted = !bridgeNodes.empty();
  for (const std::string& node : bridgeNodes) {
    const int error = OpenErrnoAs(user, node, O_RDWR);
    const bool byMode = !ModeGrantsNothingTo(user, node);
    log.Note(node + ": read-write open as " + who + ": " +
             (error == 0 ? std::string("ok") : std::strerror(error)) +
             (byMode ? ", its mode or owner lets the user in" : ""));
    granted &= error == 0 && !byMode;
  }
  log.Check(granted, "seat: " + who + " opens each of the " + std::to_string(bridgeNodes.size()) +
                         " bridges' sg nodes read-write, by the seat grant udev gave it, not by "
                         "the nodes' mode");

  const std::vector<std::string> plain = PlainDiskNodes();
  bool refused = !plain.empty();
  for (const std::string& node : plain) {
    const int error = OpenErrnoAs(user, node, O_RDONLY);
    log.Note(node + " (plain USB disk): open as " + who + ": " +
             (error == 0 ? std::string("ok") : std::strerror(error)));
    refused &= error == EACCES && ModeGrantsNothingTo(user, node);
  }
  log.Check(refused, "seat: the plain USB disk's sg node (" + std::to_string(plain.size()) +
                         " found) does not open for " + who + ", not even read-only");
}

}  // namespace q71x::guest
