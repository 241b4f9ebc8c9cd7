// SPDX-License-Identifier: GPL-2.0-or-later
// Every file the programs write, with something planted where it goes, as somebody would who
// hopes that a program running as root writes through it: a link (to a file, or to nothing yet)
// or a FIFO at the file's name or at the fixed temporary name earlier versions wrote through, a
// link in place of its folder, or a folder of another user's. Whatever was planted, and whatever
// a link points at, must stay as it was, and nothing may wait on a FIFO.

#ifdef __linux__
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <set>

#include "sim/presets.h"
#include "sim/simulated_system.h"
#include "src/device/platform/trace/trace_file.h"
#include "src/host/safe_file_write.h"
#include "src/host/utf8_path.h"
#include "src/image/sample_image.h"
#include "src/simhost/sample_images.h"
#include "src/simhost/sim_state_folder.h"
#include "src/tool/dialog_start_folder.h"
#include "src/update/backup_file.h"
#include "src/update/journal/recovery_journal.h"
#include "src/update/serial/nvram_flash_update.h"
#include "tests/cli/cli_rig.h"
#include "tests/support/file_bytes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_fifo.h"

namespace q71x::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPreset = "qv40714-atmel";
const std::vector<std::uint8_t> kVictimBytes = {'m', 'i', 'n', 'e', '\n'};

struct Writer {
  const char* Name;
  fs::path Folder;                             // where its files go, under the test's root
  std::vector<std::string> Names;              // the files it writes there
  std::vector<std::string> OldTemporaryNames;  // fixed names earlier versions wrote through
  std::function<void(const fs::path& root)> Write;
};

JournalEntry SomeJournalEntry() {
  JournalEntry entry;
  entry.Device = {ChipType::Qvk842Series, 1, "1c2011", "1.05", "sim:usbsto:planted", {}};
  entry.Procedure = "UpdateFlashWithNvram";
  // The area that procedure keeps: the journal takes no other.
  entry.Area.assign(kNvramAreaBytes, 0x5A);
  return entry;
}

// The name the journal gives the entry: made once where nothing is planted.
std::string JournalNameOf(JournalEntry entry) {
  TempDir scratch;
  RecoveryJournal(scratch.path()).Record(entry);
  return entry.Name;
}

std::string PresetPath() {
  sim::SimulatedSystem system;
  return sim::AddPreset(system, kPreset)->Path;
}

std::vector<Writer> EveryWriter() {
  const std::string journalName = JournalNameOf(SomeJournalEntry());
  const fs::path enclosure = fs::path("state") / SimStateFolder("").EnclosureFolder(PresetPath());
  return {
      {"window backup",
       "backups",
       {"oldflash.bak"},
       {},
       [](const fs::path& root) {
         WriteBackupFile(PathToUtf8(root / "backups" / "oldflash.bak"), kVictimBytes.data(), 3);
       }},
      {"trace",
       "traces",
       {"session.trace"},
       {},
       [](const fs::path& root) {
         trace::TraceFile trace(root / "traces" / "session.trace");
         if (trace.Open() == SafeWriteStatus::Written) {
           trace.Stream() << "Q71X-TRACE 1\n";
           trace.Finish();
         }
       }},
      {"recovery journal",
       "journal",
       {journalName},
       {journalName + ".tmp"},
       [](const fs::path& root) {
         JournalEntry entry = SomeJournalEntry();
         RecoveryJournal(root / "journal").Record(entry);
       }},
      {"simulator state",
       enclosure,
       {kFlashFileName, kControllerMemoryFileName},
       {std::string(kFlashFileName) + ".tmp", std::string(kControllerMemoryFileName) + ".tmp"},
       [](const fs::path& root) {
         sim::SimulatedSystem system;
         sim::AddPreset(system, kPreset);
         SimStateFolder(root / "state").Save(system);
       }},
      {"sample images",
       "images",
       {std::string(kPreset) + ".bin"},
       {},
       [](const fs::path& root) { WritePresetSampleImages(root / "images"); }},
      {"image generator",
       "made",
       {"image.bin"},
       {},
       [](const fs::path& root) {
         WriteSampleImage(PathToUtf8(root / "made" / "image.bin"), SampleImageOptions{});
       }},
      {"remembered folder",
       "q71xfwtool",
       {"last-folder"},
       {},
       [](const fs::path& root) {
         ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
         RememberDialogFolder("/usr/bin", "/srv/images/new.bin");
         ::unsetenv("XDG_CONFIG_HOME");
       }},
  };
}

std::set<std::string> EntriesOf(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

void ExpectNoTemporaryLeft(const fs::path& folder) {
  for (const std::string& name : EntriesOf(folder)) {
    EXPECT_EQ(std::string::npos, name.find(".partial-")) << name;
  }
}

enum class Plant { LinkToFile, LinkToNothing, Fifo };

// Plants `plant` at `name`, runs the writer and judges what it left.
void RunWithPlanted(const Writer& writer, const std::string& name, Plant plant, bool oldName) {
  TempDir dir;
  const fs::path folder = dir.path() / writer.Folder;
  const fs::path at = folder / name;
  const fs::path victim = dir.path() / "victim";
  fs::create_directories(folder);
  if (plant == Plant::LinkToFile) {
    WriteFileBytes(victim, kVictimBytes);
  }
  if (plant != Plant::Fifo) {
    fs::create_symlink(victim, at);
  }
  const TestFifo waiter(at);  // made only where no link was planted
  ASSERT_EQ(plant == Plant::Fifo, waiter.Made());
  EXPECT_TRUE(waiter.ReturnsWithin(std::chrono::seconds(5), [&] { writer.Write(dir.path()); }))
      << "waited on the FIFO";

  if (plant == Plant::Fifo) {
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(at))) << "the FIFO was replaced";
  } else {
    EXPECT_TRUE(fs::is_symlink(at)) << "the link was replaced";
    EXPECT_EQ(plant == Plant::LinkToFile, fs::exists(victim)) << "the link's target was made";
    if (plant == Plant::LinkToFile) {
      EXPECT_EQ(kVictimBytes, ReadFileBytes(victim)) << "written through the link";
    }
  }
  ExpectNoTemporaryLeft(folder);
  if (oldName) {
    for (const std::string& written : writer.Names) {
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder / written))) << written;
    }
  }
}

TEST(PlantedNames, NoWriterWritesThroughALinkOrIntoAFifoAtAnyNameItUses) {
  for (const Writer& writer : EveryWriter()) {
    for (const Plant plant : {Plant::LinkToFile, Plant::LinkToNothing, Plant::Fifo}) {
      SCOPED_TRACE(std::string(writer.Name) + ", plant " + std::to_string(static_cast<int>(plant)));
      for (const std::string& name : writer.Names) {
        SCOPED_TRACE(name);
        RunWithPlanted(writer, name, plant, false);
      }
      for (const std::string& name : writer.OldTemporaryNames) {
        SCOPED_TRACE(name);
        RunWithPlanted(writer, name, plant, true);
      }
    }
  }
}

// The folder the files go to is a link to another folder: nothing goes there, and the folder it
// points at keeps its access (an earlier command line made its backups folder 0700 through the
// link).
TEST(PlantedNames, AFolderThatIsALinkIsNeitherWrittenIntoNorChanged) {
  for (const Writer& writer : EveryWriter()) {
    SCOPED_TRACE(writer.Name);
    TempDir dir;
    const fs::path elsewhere = dir.path() / "elsewhere";
    fs::create_directory(elsewhere);
    fs::permissions(elsewhere, fs::perms(0755));
    const fs::path folder = dir.path() / writer.Folder;
    fs::create_directories(folder.parent_path());
    fs::create_symlink(elsewhere, folder);
    const std::set<std::string> before = EntriesOf(elsewhere);

    writer.Write(dir.path());
    EXPECT_TRUE(fs::is_symlink(folder));
    EXPECT_EQ(before, EntriesOf(elsewhere));
    EXPECT_EQ(fs::perms(0755), fs::status(elsewhere).permissions() & fs::perms::mask);
  }
}

// Root writing into a folder another user owns: that user could swap what root writes for
// something of theirs, so nothing is written. The tests run as root in CI, as a user elsewhere.
TEST(PlantedNames, RunningAsRootNoWriterWritesIntoAnotherUsersFolder) {
  const bool root = ::geteuid() == 0;
  for (const Writer& writer : EveryWriter()) {
    SCOPED_TRACE(writer.Name);
    TempDir dir;
    const fs::path folder = dir.path() / writer.Folder;
    fs::create_directories(folder);
    if (root) {
      ASSERT_EQ(0, ::chown(folder.c_str(), 4242, 4242));
    } else {
      SetEffectiveUserForTesting(0);
    }
    const std::set<std::string> before = EntriesOf(folder);
    writer.Write(dir.path());
    SetEffectiveUserForTesting(std::nullopt);
    EXPECT_EQ(before, EntriesOf(folder));
  }
}

// The command line's automatic backup, with its backups folder a link to some other folder: the
// update stops before anything is erased, and the other folder is neither written nor made
// private.
TEST(PlantedNames, TheCommandLineRefusesALinkedBackupsFolderBeforeTheErase) {
  CliRig rig;
  rig.Plugged = {kPreset};
  const std::string path = rig.PathOf(kPreset);
  const std::vector<std::uint8_t> flash = rig.Memory(path, kFlashFileName);
  const fs::path elsewhere = rig.Dir.path() / "elsewhere";
  fs::create_directory(elsewhere);
  fs::permissions(elsewhere, fs::perms(0755));
  fs::create_directories(rig.BackupFolder().parent_path());
  fs::create_symlink(elsewhere, rig.BackupFolder());

  const CliRun run = rig.Json({"--yes", "update", path, rig.ImageOf(kPreset)});
  EXPECT_NE(0, run.Code) << run.Out;
  EXPECT_FALSE(run.Json["auto_backup"]["proven"].get<bool>());
  EXPECT_EQ(rig.Memory(path, kFlashFileName), flash);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_EQ(fs::perms(0755), fs::status(elsewhere).permissions() & fs::perms::mask);
}

}  // namespace
}  // namespace q71x::testing
#endif  // __linux__
