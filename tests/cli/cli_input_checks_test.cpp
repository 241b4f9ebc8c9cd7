// SPDX-License-Identifier: GPL-2.0-or-later
// What the command line is given before anything is sent: names that are no plain file are
// refused without being opened, bytes that are no UTF-8 still make a valid document, options
// out of range are usage errors, and a trace never replaces a file unasked.

#include <gtest/gtest.h>

#include <fstream>

#include "src/host/utf8_path.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace q71x::testing {
namespace {

constexpr const char* kPreset = "qv40714-atmel";

#ifndef _WIN32
// Opening a FIFO for reading waits for a writer: a verb that opened one would never return, so
// each of these returning at all is half of what is checked.
TEST(CliInputChecks, AFifoIsRefusedWherePlainFilesAreReadAndNeverOpened) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::string path = rig.PathOf(kPreset);
  const std::string fifo = PathToUtf8(rig.Dir.path() / "image.bin");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);

  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", path, fifo},
                                               {"--yes", "update", path, fifo},
                                               {"verify", path, fifo},
                                               {"--yes", "restore", path, fifo}}) {
    SCOPED_TRACE(args[args.size() - 3] + " " + args[args.size() - 2]);
    const CliRun run = rig.Json(args);
    EXPECT_EQ(2, run.Code);
    EXPECT_NE(std::string::npos, run.Json["message"].get<std::string>().find("a FIFO"))
        << run.Json["message"];
  }
  EXPECT_EQ(before, rig.Memory(path, kFlashFileName));

  // A FIFO among the kept backups, as a record and as a backup: listed past, not waited on.
  std::filesystem::create_directories(rig.BackupFolder());
  ASSERT_EQ(0, ::mkfifo(PathToUtf8(rig.BackupFolder() / "stray.json").c_str(), 0600));
  const CliRun backups = rig.Json({"backups"});
  EXPECT_EQ(0, backups.Code);
  // Named as unreadable, never opened: the listing goes on past it.
  ASSERT_EQ(backups.Json["backups"].size(), 1u) << backups.Out;
  EXPECT_FALSE(backups.Json["backups"][0]["readable"].get<bool>());
  const CliRun restore = rig.Json({"--yes", "restore", path});
  EXPECT_EQ(2, restore.Code) << restore.Json["message"];
}
#endif

TEST(CliInputChecks, ANameThatIsNoUtf8StillGivesAValidDocument) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::string path = rig.PathOf(kPreset);
  // A Latin-1 name, as an old archive leaves it: "caf\xe9.bin".
  const std::string latin1 = PathToUtf8(rig.Dir.path()) + "/caf\xe9.bin";
  {
    std::ifstream from(PathFromUtf8(rig.ImageOf(kPreset)), std::ios::binary);
    std::ofstream to(latin1, std::ios::binary);
    to << from.rdbuf();
  }

  for (const char* verb : {"check", "verify"}) {
    SCOPED_TRACE(verb);
    // The rig parses the document: a throw on the way out, or a broken document, fails here.
    const CliRun run = rig.Json({verb, path, latin1});
    // The sample image was never written to the device: verify finds it differs.
    EXPECT_EQ(std::string(verb) == "check" ? 0 : 1, run.Code) << run.Out;
    const std::string shown = run.Json["image"]["path"].get<std::string>();
    EXPECT_NE(std::string::npos, shown.find("caf\xEF\xBF\xBD.bin")) << shown;
  }
}

TEST(CliInputChecks, OptionsOutOfRangeAreUsageErrors) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::string path = rig.PathOf(kPreset);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--flash-part", "5", "info", path},
        {"--flash-part", "-1", "info", path},
        {"--flash-part", "x", "info", path},
        {"--pace", "-2", "list"}}) {
    SCOPED_TRACE(args[1]);
    const CliRun run = rig.Json(args);
    EXPECT_EQ(2, run.Code);
    EXPECT_EQ("usage", run.Json["code"]);
  }
  EXPECT_EQ(0, rig.Json({"--flash-part", "2", "info", path}).Code);
}

TEST(CliInputChecks, ATraceReplacesAnExistingFileOnlyWithForce) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::filesystem::path trace = rig.Dir.path() / "kept.trace";
  std::ofstream(trace) << "a trace a report needs\n";

  const CliRun refused = rig.Json({"--trace", PathToUtf8(trace), "list"});
  EXPECT_EQ(2, refused.Code);
  EXPECT_NE(std::string::npos, refused.Json["message"].get<std::string>().find("--force"));
  const std::vector<std::uint8_t> kept = ReadFileBytes(trace);
  EXPECT_EQ("a trace a report needs\n", std::string(kept.begin(), kept.end()));

  const CliRun replaced = rig.Json({"--force", "--trace", PathToUtf8(trace), "list"});
  EXPECT_EQ(0, replaced.Code);
  EXPECT_NE(kept, ReadFileBytes(trace));
}

}  // namespace
}  // namespace q71x::testing
