// SPDX-License-Identifier: GPL-2.0-or-later
// File names in any script: the image, the simulator's state folder and the automatic backups
// under names in Greek and CJK letters, which no single Windows ANSI code page holds. Run under
// wine, this is what shows that the names reach the system as UTF-16.

#include <gtest/gtest.h>

#include <filesystem>

#include "src/host/utf8_path.h"
#include "src/simhost/sim_state_folder.h"
#include "tests/cli/cli_rig.h"

namespace q71x::testing {
namespace {

TEST(CliUnicodeNames, UpdateAndCheckUnderGreekAndCjkNamesWriteTheFlashAndTheBackup) {
  CliRig rig;
  const std::filesystem::path folder = rig.Dir.path() / PathFromUtf8("Υλικολογισμικό 固件");
  rig.State = folder / PathFromUtf8("κατάσταση");
  rig.Data = folder / PathFromUtf8("δεδομένα_数据");
  rig.Plugged = {"qv40714-atmel"};
  const std::string path = rig.PathOf("qv40714-atmel");
  ASSERT_FALSE(path.empty());
  // The simulator wrote its sample image into the state folder under the Greek name.
  const std::vector<std::uint8_t> image = ReadFileBytes(PathFromUtf8(rig.ImageOf("qv40714-atmel")));
  ASSERT_FALSE(image.empty());
  const std::filesystem::path named = folder / PathFromUtf8("εικόνα_映像.bin");
  WriteFileBytes(named, image);
  const std::vector<std::uint8_t> before = rig.Memory(path, kFlashFileName);
  ASSERT_FALSE(before.empty()) << "the state folder kept no flash";
  ASSERT_FALSE(Contains(before, image)) << "the image is in place already";

  const CliRun check = rig.Json({"check", path, PathToUtf8(named)});
  EXPECT_EQ(check.Code, 0) << check.Out;

  const CliRun run = rig.Json({"--yes", "update", path, PathToUtf8(named)});
  ASSERT_EQ(run.Code, 0) << run.Out << run.Err;
  const std::vector<std::uint8_t> after = rig.Memory(path, kFlashFileName);
  EXPECT_TRUE(Contains(after, image)) << "the image is not in the flash";

  const nlohmann::json& backup = run.Json["auto_backup"];
  ASSERT_TRUE(backup["proven"].get<bool>()) << backup.dump();
  const std::filesystem::path file = PathFromUtf8(backup["file"].get<std::string>());
  EXPECT_EQ(file.parent_path(), rig.BackupFolder());
  const std::vector<std::uint8_t> saved = ReadFileBytes(file);
  EXPECT_TRUE(Contains(before, saved)) << "the backup is not the flash before the update";
  EXPECT_FALSE(ReadFileBytes(PathFromUtf8(backup["record"].get<std::string>())).empty());

  // The kept backups are found again under the CJK data folder.
  const CliRun kept = rig.Json({"backups"});
  ASSERT_EQ(kept.Json["backups"].size(), 1u) << kept.Out;
  EXPECT_TRUE(kept.Json["backups"][0]["intact"].get<bool>());
}

}  // namespace
}  // namespace q71x::testing
