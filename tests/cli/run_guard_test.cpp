// SPDX-License-Identifier: GPL-2.0-or-later
// A stop request in the middle of an update: the real q71xfw, paced so that its update takes a
// while, gets SIGINT or SIGHUP, or loses the reader of its standard error, while it writes the
// flash. The run goes on to its end, the program then stops as documented, and what the
// simulated flash holds afterwards verifies against the image.

#include <gtest/gtest.h>

#if defined(Q71XFW_PATH) && !defined(_WIN32)

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "src/host/utf8_path.h"
#include "tests/cli/cli_rig.h"

extern char** environ;

namespace q71x::testing {
namespace {

struct Child {
  pid_t Pid = -1;
  int Err = -1;  // read end of its standard error
};

// Starts q71xfw with standard output to `outFile` and standard error to a pipe, its data folder
// under `data`.
Child Start(const std::vector<std::string>& args, const std::filesystem::path& outFile,
            const std::filesystem::path& data) {
  std::vector<std::string> words{Q71XFW_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  std::vector<std::string> variables{"XDG_DATA_HOME=" + data.string()};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string(*entry).rfind("XDG_DATA_HOME=", 0) != 0) {
      variables.emplace_back(*entry);
    }
  }
  std::vector<char*> envp;
  for (std::string& variable : variables) {
    envp.push_back(variable.data());
  }
  envp.push_back(nullptr);

  int err[2];
  if (::pipe(err) != 0) {
    return {};
  }
  const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(err[1], 2);
    ::close(err[0]);
    ::close(err[1]);
    ::close(out);
    // The test runner may have left SIGPIPE ignored; the child starts as a shell would start it.
    std::signal(SIGPIPE, SIG_DFL);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(err[1]);
  ::close(out);
  return {pid, err[0]};
}

// Reads standard error line by line until `until` holds for a line, or to its end (`until`
// empty). Returns the lines read.
std::vector<std::string> ReadLines(int fd, const std::function<bool(const std::string&)>& until) {
  std::vector<std::string> lines;
  std::string line;
  char c = 0;
  while (::read(fd, &c, 1) == 1) {
    if (c != '\n') {
      line.push_back(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
    if (until && until(lines.back())) {
      break;
    }
  }
  if (!line.empty()) {
    lines.push_back(line);
  }
  return lines;
}

int ExitCodeOf(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool UpdateIsWriting(const std::string& line) {
  const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
  return event.is_object() && event.value("event", "") == "progress" &&
         event.value("phase", "") == "update" && event.value("bytes", 0) > 0;
}

struct StopCase {
  const char* Name;
  int Signal;  // 0: the reader of standard error goes away instead
  int ExitCode;
};

class RunGuard : public ::testing::TestWithParam<StopCase> {};

TEST_P(RunGuard, AStopRequestMidUpdateWaitsForTheRunAndLeavesADeviceThatVerifies) {
  const StopCase& stop = GetParam();
  CliRig rig;
  const std::string path = rig.PathOf("qv40714-atmel");
  const std::string image = rig.ImageOf("qv40714-atmel");
  ASSERT_FALSE(path.empty());

  const std::filesystem::path document = rig.Dir.path() / "document.json";
  Child child = Start({"--sim", "--state", PathToUtf8(rig.State), "--pace", "2", "--json",
                       "--progress", "--yes", "--no-backup", "update", path, image},
                      document, rig.Data);
  ASSERT_GT(child.Pid, 0);
  std::vector<std::string> lines = ReadLines(child.Err, UpdateIsWriting);
  ASSERT_TRUE(!lines.empty() && UpdateIsWriting(lines.back())) << "the update never wrote";

  if (stop.Signal != 0) {
    ::kill(child.Pid, stop.Signal);
    const std::vector<std::string> rest = ReadLines(child.Err, {});
    lines.insert(lines.end(), rest.begin(), rest.end());
  }
  ::close(child.Err);
  const int code = ExitCodeOf(child.Pid);

  const nlohmann::json report = nlohmann::json::parse(ReadFileBytes(document), nullptr, false);
  ASSERT_TRUE(report.is_object()) << "no document";
  EXPECT_EQ(stop.ExitCode, code);
  EXPECT_EQ(stop.ExitCode, report["exit_code"]);
  EXPECT_TRUE(report["run"]["claimed_success"].get<bool>()) << report.dump(2);
  EXPECT_TRUE(report["power_cycle"].get<bool>()) << report.dump(2);
  if (stop.Signal != 0) {
    EXPECT_EQ("stopped", report["code"]);
    EXPECT_EQ("ok", report["run_code"]);
    // Everything on standard error is a JSON line; the stop is told once.
    int told = 0;
    for (const std::string& line : lines) {
      const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
      ASSERT_TRUE(event.is_object() && event.contains("event")) << line;
      told += event.value("text", "").find("stopping once it is safe") != std::string::npos;
    }
    EXPECT_EQ(1, told);
  }

  // Nothing of the stop is left on the device: it holds what the update wrote.
  const CliRun verify = rig.Json({"verify", path, image});
  EXPECT_EQ(0, verify.Code) << verify.Out;
}

INSTANTIATE_TEST_SUITE_P(Stops, RunGuard,
                         ::testing::Values(StopCase{"interrupt", SIGINT, 130},
                                           StopCase{"hang_up", SIGHUP, 129},
                                           StopCase{"terminate", SIGTERM, 143},
                                           // With SIGPIPE ignored the run ends as it would have:
                                           // done, with a power cycle asked.
                                           StopCase{"closed_pipe", 0, 0}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.Name);
                         });

// Several devices in one program: the stop waits until every device that is being written is
// done, and is told once.
TEST(RunGuardSeveral, AnInterruptWhileTwoDevicesWriteWaitsForBothAndBothVerify) {
  CliRig rig;
  rig.Plugged = {"qv40714-atmel", "qv40716-amic"};
  const std::string image = rig.ImageOf("qv40714-atmel");
  const std::filesystem::path document = rig.Dir.path() / "document.json";
  Child child = Start({"--sim", "--state", PathToUtf8(rig.State), "--pace", "2", "--json",
                       "--progress", "--yes", "--no-backup", "update", "0", "1", image},
                      document, rig.Data);
  ASSERT_GT(child.Pid, 0);
  std::set<int> writing;
  std::vector<std::string> lines = ReadLines(child.Err, [&writing](const std::string& line) {
    if (UpdateIsWriting(line)) {
      writing.insert(nlohmann::json::parse(line)["device"].get<int>());
    }
    return writing.size() == 2;
  });
  ASSERT_EQ(writing.size(), 2u) << "both devices never wrote at once";
  ::kill(child.Pid, SIGINT);
  const std::vector<std::string> rest = ReadLines(child.Err, {});
  lines.insert(lines.end(), rest.begin(), rest.end());
  ::close(child.Err);
  EXPECT_EQ(130, ExitCodeOf(child.Pid));

  const nlohmann::json report = nlohmann::json::parse(ReadFileBytes(document), nullptr, false);
  ASSERT_TRUE(report.is_object()) << "no document";
  EXPECT_EQ("stopped", report["code"]);
  EXPECT_EQ("ok", report["run_code"]) << report.dump(2);
  int told = 0;
  for (const std::string& line : lines) {
    told += line.find("stopping once it is safe") != std::string::npos;
  }
  EXPECT_EQ(1, told);
  EXPECT_EQ(0, rig.Json({"verify", "0", "1", image}).Code);
}

}  // namespace
}  // namespace q71x::testing

#endif
