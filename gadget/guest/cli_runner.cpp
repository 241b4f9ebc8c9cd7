// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/cli_runner.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace q71x::guest {
namespace {

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::optional<SeatUser> ParseSeatUser(const std::string& text) {
  unsigned long uid = 0;
  unsigned long gid = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%lu:%lu%c", &uid, &gid, &tail) != 2 || uid == 0 || gid == 0) {
    return std::nullopt;
  }
  return SeatUser{static_cast<uid_t>(uid), static_cast<gid_t>(gid)};
}

bool BecomeUser(const std::optional<SeatUser>& user) {
  if (!user) {
    return true;
  }
  return ::setgroups(0, nullptr) == 0 && ::setgid(user->Gid) == 0 && ::setuid(user->Uid) == 0 &&
         ::setuid(0) != 0;
}

StartedRun CliRunner::Start(const std::vector<std::string>& args,
                            const std::string& errFile) const {
  std::string command = Quoted(program_) + " --json";
  for (const std::string& arg : args) {
    command += " " + Quoted(arg);
  }
  command += " 2>>" + Quoted(errFile.empty() ? workDir_ + "/q71xfw.err" : errFile);
  StartedRun started;
  started.StartedAt = Now();
  int out[2];
  if (::pipe(out) != 0) {
    return started;
  }
  started.Pid = ::fork();
  if (started.Pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    if (!BecomeUser(user_)) {
      std::fputs("q71x-guest-cli-test: cannot become the seat user\n", stderr);
      ::_exit(126);
    }
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  started.Out = out[0];
  if (started.Pid < 0) {
    ::close(started.Out);
    started.Out = -1;
  }
  return started;
}

CliRun CliRunner::Finish(StartedRun started) const {
  CliRun run;
  if (started.Pid < 0) {
    return run;
  }
  std::string out;
  char buffer[4096];
  for (ssize_t got; (got = ::read(started.Out, buffer, sizeof buffer)) != 0;) {
    if (got > 0) {
      out.append(buffer, static_cast<std::size_t>(got));
    } else if (errno != EINTR) {
      break;
    }
  }
  ::close(started.Out);
  int status = 0;
  while (::waitpid(started.Pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.Seconds = Now() - started.StartedAt;
  run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Json = nlohmann::json::parse(out, nullptr, false);
  if (run.Json.is_discarded()) {
    run.Json = nullptr;
  }
  return run;
}

std::string SgNodeOf(const nlohmann::json& device) {
  const std::string path = device.value("path", "");
  return path.substr(path.rfind(':') + 1);
}

std::string Describe(const std::string& verb, const CliRun& run) {
  char took[32];
  std::snprintf(took, sizeof took, "%.1f", run.Seconds);
  std::string text = "q71xfw " + verb + ": exit " + std::to_string(run.Code) + " in " + took + " s";
  if (run.Json.is_object() && run.Json.contains("message") && run.Json["message"].is_string()) {
    text += ", \"" + run.Json["message"].get<std::string>() + "\"";
  }
  return text;
}

}  // namespace q71x::guest
