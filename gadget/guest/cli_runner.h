// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Runs q71xfw as a script would, optionally as the seat's user rather than root, and keeps what
// it answered: exit code, JSON document, time taken.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace q71x::guest {

// The account at the seat: not root, given the bridges' nodes by udev alone.
struct SeatUser {
  uid_t Uid = 0;
  gid_t Gid = 0;
};

// "UID:GID"; nullopt when the text is not two numbers or names root.
std::optional<SeatUser> ParseSeatUser(const std::string& text);

struct CliRun {
  int Code = -1;
  nlohmann::json Json;  // null when standard output held no JSON document
  double Seconds = 0;
};

// A q71xfw run in the background, its standard output still to be read.
struct StartedRun {
  pid_t Pid = -1;
  int Out = -1;
  double StartedAt = 0;
};

class CliRunner {
 public:
  CliRunner(std::string program, std::string workDir, std::optional<SeatUser> user)
      : program_(std::move(program)), workDir_(std::move(workDir)), user_(user) {}

  // q71xfw --json ARGS..., its diagnostics appended to `errFile` (q71xfw.err of the work
  // folder when empty).
  StartedRun Start(const std::vector<std::string>& args, const std::string& errFile = {}) const;
  CliRun Finish(StartedRun started) const;
  CliRun Run(const std::vector<std::string>& args) const { return Finish(Start(args)); }

  const std::optional<SeatUser>& User() const { return user_; }

 private:
  std::string program_;
  std::string workDir_;
  std::optional<SeatUser> user_;
};

// In a child process that has become `user` (when set): setgroups, setgid, setuid, in that
// order, so that nothing of root's stays. False when a step was refused.
bool BecomeUser(const std::optional<SeatUser>& user);

// The /dev/sgN node at the end of a device's path as `list --json` gives it.
std::string SgNodeOf(const nlohmann::json& device);

// "q71xfw VERB: exit N in S s, "message"".
std::string Describe(const std::string& verb, const CliRun& run);

}  // namespace q71x::guest
