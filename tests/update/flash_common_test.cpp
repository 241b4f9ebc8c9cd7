// SPDX-License-Identifier: GPL-2.0-or-later
// The erase-only and backup-only operations end to end against simulated serial flash.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "src/device/flash_commands.h"
#include "src/host/user_dialogs.h"
#include "src/update/flash_common.h"
#include "src/update/serial/serial_flash_update.h"
#include "src/update/update_texts.h"
#include "tests/support/debug_lines.h"
#include "tests/support/file_bytes.h"
#include "tests/support/file_size_limit.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

using sim::FaultKind;

constexpr std::uint32_t k64K = 65536;

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Sectors of 32 KB under the bridge's default erase opcode.
SerialDevice ThirtyTwoKilobyteSectors() {
  return Device(1, 1, "EN25P05");
}

TEST(EraseAllFlash, WithoutAtmelPartErasesFirmwareSizeInPageSizeStepsThenChecksBlank) {
  SerialFlashRig rig(Qv40714Winbond());
  ASSERT_EQ(-1, rig.window.state.AtmelFlashPart);

  EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

  EXPECT_TRUE(rig.FlashErased(0, k64K));
  const std::vector<std::uint32_t> expected = {0,        8192,     2 * 8192, 3 * 8192,
                                               4 * 8192, 5 * 8192, 6 * 8192, 7 * 8192};
  EXPECT_EQ(expected, rig.EraseAddresses());
  EXPECT_TRUE(rig.Ff04Commands(0x13).empty());
  const auto& history = rig.window.statusHistory;
  EXPECT_EQ("Start Erase only!", history.front());
  EXPECT_TRUE(Contains(history, "Erase..."));
  EXPECT_TRUE(Contains(history, "Erase........"));  // one dot per sector
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  // One read of the whole area proves it blank.
  ASSERT_EQ(1u, rig.Ff04Commands(0x10).size());
  EXPECT_EQ(k64K, rig.Ff04Commands(0x10)[0]->WireLength);
}

TEST(EraseAllFlash, SectorCountRoundsUpARemainder) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.settings.FirmwareSize = 32768;
  rig.window.settings.FlashPageSize = 4096 * 3;

  EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

  EXPECT_EQ((std::vector<std::uint32_t>{0, 12288, 24576}), rig.EraseAddresses());
}

TEST(EraseAllFlash, AtmelPartGetsOneChipErase) {
  SerialFlashRig rig(Qv40714Atmel());
  ASSERT_NE(-1, rig.window.state.AtmelFlashPart);

  EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

  EXPECT_EQ(1u, rig.Ff04Commands(0x13).size());
  EXPECT_TRUE(rig.EraseAddresses().empty());
  EXPECT_TRUE(rig.FlashErased(0, k64K));
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
}

TEST(EraseAllFlash, RefusedChipEraseFallsBackToSectors) {
  SerialFlashRig rig(Qv40714Atmel());
  rig.ArmFault({0xFF, 0x04, 0x13}, 1, FaultKind::Fail);

  EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

  EXPECT_EQ(8u, rig.EraseAddresses().size());
  EXPECT_TRUE(rig.FlashErased(0, k64K));
}

// A blank check the bridge refused proves nothing: the serial erase-only action ends on "not
// blank" and asks for no power cycle, as the DF and 1394 actions do.
TEST(EraseAllFlash, ABlankCheckReadThatFailsIsNotTakenForBlank) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.ArmFault({0xFF, 0x04, 0x10}, 1, FaultKind::Fail);
  rig.window.TickFor(EngineeringAction::EraseOnly);

  EXPECT_EQ(0, UpdateSerialFlash(rig.window, rig.path));
  EXPECT_EQ("Data not 0xff !!", rig.window.StatusText());
  EXPECT_EQ(0u, rig.dialogs.Boxes().size());
  // The erase itself ran: only its proof is missing.
  EXPECT_TRUE(rig.FlashErased(0, k64K));
}

TEST(EraseAllFlash, ReadyWaitsThatRunOutAreReportedAndTheRunGoesOn) {
  // Erases of 12 s outlast both 5-second ready waits that follow them.
  SerialFlashRig rig(ThirtyTwoKilobyteSectors(), SlowErasingPart("EN25P05", 12'000'000));
  // An erase already running when the action starts keeps the flash busy through both the
  // first wait and the one that opens the sector erase.
  ASSERT_EQ(1, EraseFlashChip(rig.path));
  rig.window.settings.FlashPageSize = 32768;

  EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

  const auto debug = ProcedureDebugLines(rig.platform.DebugLines());
  ASSERT_FALSE(debug.empty());
  EXPECT_EQ("0.1 Device initial not ready!!", debug.front());
  EXPECT_EQ(2, std::count(debug.begin(), debug.end(), "Not ready after Erase flash success"));
  EXPECT_TRUE(Contains(rig.window.statusHistory, "Not ready after Erase flash cmd success"));
  EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  EXPECT_TRUE(rig.FlashErased(0, k64K));
}

// Boot sectors of 4, 4, 8 and 16 KB: the 8 KB steps alone never land in the one at 0x1000.
TEST(EraseAllFlash, AmicBootSectorPartsAlsoGetEveryBootSectorErased) {
  for (const char* part : {"A25L05PU", "A25L10PU", "A25L20PU"}) {
    SCOPED_TRACE(part);
    SerialFlashRig rig(Qv40716Amic(part));
    ASSERT_NE(-1, rig.window.state.AmicFlashPart);
    ASSERT_NE(4, rig.window.state.AmicFlashPart);

    EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

    EXPECT_TRUE(rig.FlashErased(0, k64K));
    const auto erases = rig.EraseAddresses();
    for (std::uint32_t bootSector : {0x0000u, 0x1000u, 0x3000u, 0x7000u}) {
      EXPECT_NE(erases.end(), std::find(erases.begin(), erases.end(), bootSector)) << bootSector;
    }
    EXPECT_EQ("Erase flash all success!", rig.window.StatusText());
  }
}

TEST(EraseAllFlash, AmicUniformPartKeepsThePlainSectorSteps) {
  SerialFlashRig rig(Qv40716Amic("A25L512U"));
  ASSERT_EQ(4, rig.window.state.AmicFlashPart);

  EXPECT_EQ(1, EraseAllFlash(rig.window, rig.path));

  EXPECT_EQ((std::vector<std::uint32_t>{0, 8192, 2 * 8192, 3 * 8192, 4 * 8192, 5 * 8192, 6 * 8192,
                                        7 * 8192}),
            rig.EraseAddresses());
  EXPECT_TRUE(rig.FlashErased(0, k64K));
}

TEST(EraseAllFlash, RefusedAmicBootSectorEraseIsAnEraseFailure) {
  SerialFlashRig rig(Qv40716Amic());
  rig.ArmFault({0xFF, 0x04, 0x14, 0x00, 0x10, 0x00}, 1, FaultKind::Fail);

  EXPECT_EQ(0, EraseAllFlash(rig.window, rig.path));

  EXPECT_EQ("Erase command fail!!", rig.window.StatusText());
  EXPECT_EQ(rig.OldFlashRange(0x1000, 0x1000), rig.FlashRange(0x1000, 0x1000));
  EXPECT_TRUE(rig.Ff04Commands(0x10).empty()) << "no blank check after a failed erase";
}

struct EraseFailureRow {
  const char* Name;
  SerialDevice Device;
  std::function<void(SerialFlashRig&)> Arrange;
  const char* Text;
  std::function<void(SerialFlashRig&)> CheckFlash;
};

TEST(EraseAllFlash, FailureTable) {
  const std::vector<EraseFailureRow> rows = {
      {"sector erase refused in the middle", ThirtyTwoKilobyteSectors(),
       [](SerialFlashRig& rig) {
         rig.window.settings.FlashPageSize = 32768;
         rig.ArmFault({0xFF, 0x04, 0x14}, 2, FaultKind::Fail);
       },
       "Erase command fail!!",
       [](SerialFlashRig& rig) {
         EXPECT_TRUE(rig.FlashErased(0, 32768));
         EXPECT_EQ(rig.OldFlashRange(32768, 32768), rig.FlashRange(32768, 32768));
         EXPECT_TRUE(rig.Ff04Commands(0x10).empty()) << "no blank check after a failed erase";
       }},
      {"read buffer cannot be had", Qv40714Winbond(), [](SerialFlashRig&) {},
       "Allocate read buffer Error!!",
       [](SerialFlashRig& rig) { EXPECT_TRUE(rig.FlashErased(0, k64K)); }},
      // The part powers on with every sector protected and nothing here clears it: the chip
      // erase is taken but changes nothing.
      {"erased flash not blank", Device(1, 1, "AT25DF041A"), [](SerialFlashRig&) {},
       "Data not 0xff !!", [](SerialFlashRig& rig) { EXPECT_EQ(rig.oldFlash, rig.Flash()); }},
  };
  for (const EraseFailureRow& row : rows) {
    SCOPED_TRACE(row.Name);
    SerialFlashRig rig(row.Device);
    row.Arrange(rig);
    std::optional<FailingWorkBuffer> failing;
    if (std::string(row.Text) == "Allocate read buffer Error!!") {
      failing.emplace(1);
    }

    EXPECT_EQ(0, EraseAllFlash(rig.window, rig.path));

    EXPECT_EQ(row.Text, rig.window.StatusText());
    row.CheckFlash(rig);
    EXPECT_TRUE(rig.dialogs.Boxes().empty());
  }
}

TEST(EraseFlashBySectors, NeedsAtLeastOneSectorToSucceed) {
  SerialFlashRig rig(Qv40714Winbond());

  EXPECT_EQ(0, EraseFlashBySectors(rig.window, rig.path, 0));
  EXPECT_TRUE(rig.EraseAddresses().empty());
  EXPECT_EQ(1, EraseFlashBySectors(rig.window, rig.path, 1));
  EXPECT_EQ(std::vector<std::uint32_t>{0}, rig.EraseAddresses());
}

// --- Backup -------------------------------------------------------------------------------

TEST(BackupFlashToFile, WritesTheWholeFirmwareSize) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.settings.FirmwareSize = 131072;

  EXPECT_EQ(1, BackupFlashToFile(rig.window, rig.path, 0));

  EXPECT_EQ(rig.FlashRange(0, 131072), ReadFileBytes(rig.window.backupFile));
  EXPECT_EQ((std::vector<std::string>{"Backup ...", "Read flash and backup success!"}),
            rig.window.statusHistory);
  EXPECT_TRUE(rig.dialogs.Boxes().empty());
}

TEST(BackupFlashToFile, SkipLeavesOutTheConfigurationArea) {
  SerialFlashRig rig(Qvk842Eon());

  EXPECT_EQ(1, BackupFlashToFile(rig.window, rig.path, 4096));

  const auto file = ReadFileBytes(rig.window.backupFile);
  ASSERT_EQ(61440u, file.size());
  EXPECT_EQ(rig.FlashRange(4096, 61440), file);
}

TEST(BackupFlashToFile, EmptyFieldWritesOldflashBakAfterTheBoxAndBeforeAnyCommand) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.backupFile.clear();
  std::size_t commandsWhenBoxShown = 99;
  const MessageBoxHandler recorder = SetMessageBoxHandler([&](const MessageBoxRequest& box) {
    EXPECT_EQ("Default backup firmware as OldFalsh.bak!", box.Text);
    EXPECT_EQ("Message", box.Caption);
    commandsWhenBoxShown = rig.system.Log().Size();
  });

  int result = 0;
  InDirectory(rig.dir.path(), [&] { result = BackupFlashToFile(rig.window, rig.path, 0); });
  SetMessageBoxHandler(recorder);

  EXPECT_EQ(1, result);
  EXPECT_EQ(0u, commandsWhenBoxShown);
  EXPECT_EQ(rig.FlashRange(0, k64K), ReadFileBytes(rig.dir.File("oldflash.bak")));
}

TEST(BackupFlashToFile, NameOf260CharactersIsRefusedNot259) {
  SerialFlashRig rig(Qv40714Winbond());
  const std::string prefix = rig.dir.File("");
  const std::string fits = prefix + std::string(259 - prefix.size(), 'b');
  ASSERT_EQ(259u, fits.size());

  rig.window.backupFile = fits + "x";
  EXPECT_EQ(0, BackupFlashToFile(rig.window, rig.path, 0));
  EXPECT_EQ("Backup file name too long!", rig.window.StatusText());
  EXPECT_EQ(0u, rig.system.Log().Size());
  EXPECT_FALSE(std::filesystem::exists(fits));
  EXPECT_TRUE(rig.dialogs.Boxes().empty());

  rig.window.backupFile = fits;
  EXPECT_EQ(1, BackupFlashToFile(rig.window, rig.path, 0));
  EXPECT_EQ(rig.FlashRange(0, k64K), ReadFileBytes(fits));
}

TEST(BackupFlashToFile, ReadsTheFlashTwice) {
  SerialFlashRig rig(Qv40714Winbond());

  EXPECT_EQ(1, BackupFlashToFile(rig.window, rig.path, 4096));

  // The second copy is read as a short first piece and then the rest, so only that piece's bytes
  // go through the first read's command block.
  const auto reads = rig.Ff04Commands(0x10);
  ASSERT_EQ(3u, reads.size());
  const std::uint32_t expected[][2] = {{0, k64K}, {0, 16}, {16, k64K - 16}};
  for (std::size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ(expected[i][0], SerialFlashRig::AddressOf(*reads[i]));
    EXPECT_EQ(expected[i][1], reads[i]->WireLength);
  }
}

struct BackupFailureRow {
  const char* Name;
  std::function<void(SerialFlashRig&)> Arrange;
  const char* Text;
  int FailingAllocation;  // the work-buffer request that fails, 0 for none
};

TEST(BackupFlashToFile, FailureTable) {
  const auto readFault = [](int nth, FaultKind kind, std::uint32_t value = 0) {
    return [=](SerialFlashRig& rig) { rig.ArmFault({0xFF, 0x04, 0x10}, nth, kind, 1, value); };
  };
  const std::vector<BackupFailureRow> rows = {
      {"read buffer cannot be had", [](SerialFlashRig&) {}, "Allocate read buffer Error!!", 1},
      {"second copy cannot be had", [](SerialFlashRig&) {}, "Allocate read buffer Error!!", 2},
      {"flash read fails", readFault(1, FaultKind::Fail), "Read Back to Backup Error!!", 0},
      {"second flash read fails", readFault(2, FaultKind::Fail), "Read Back to Backup Error!!", 0},
      // Answers that report success but are not the flash: the file must not pass for it.
      {"first read answers short", readFault(1, FaultKind::Short, 4096),
       "Read Back to Backup Error!!", 0},
      // The second read's short first piece is the second command; the rest is the third.
      {"second read answers short", readFault(3, FaultKind::Short, 100),
       "Read Back to Backup Error!!", 0},
      {"first read answers garbage", readFault(1, FaultKind::Garbage, 5),
       "Read Back to Backup Error!!", 0},
      {"second read answers garbage", readFault(2, FaultKind::Garbage, 5),
       "Read Back to Backup Error!!", 0},
      {"file cannot be created",
       [](SerialFlashRig& rig) { rig.window.backupFile = rig.dir.File("missing/backup.bin"); },
       "Open Backup File Error!!", 0},
  };
  for (const BackupFailureRow& row : rows) {
    SCOPED_TRACE(row.Name);
    SerialFlashRig rig(Qv40714Winbond());
    row.Arrange(rig);
    std::optional<FailingWorkBuffer> failing;
    if (row.FailingAllocation != 0) {
      failing.emplace(row.FailingAllocation);
    }

    EXPECT_EQ(0, BackupFlashToFile(rig.window, rig.path, 0));

    EXPECT_EQ(row.Text, rig.window.StatusText());
    EXPECT_FALSE(std::filesystem::exists(rig.window.backupFile));
    EXPECT_EQ(rig.oldFlash, rig.Flash());
  }
}

TEST(BackupFlashToFile, AFailedWriteKeepsTheEarlierBackupOfThatName) {
  SerialFlashRig rig(Qv40714Winbond());
  rig.window.backupFile = rig.dir.File("old.bak");
  const std::vector<std::uint8_t> earlier(1000, 0x5A);
  WriteFileBytes(rig.window.backupFile, earlier);
  {
    ScopedFileSizeLimit diskFull(4096);
    if (!diskFull.Active()) {
      GTEST_SKIP() << "no way to fill the disk on this system";
    }
    EXPECT_EQ(0, BackupFlashToFile(rig.window, rig.path, 0));
  }
  EXPECT_EQ(std::string(kWriteBackupFileErrorText), rig.window.StatusText());
  EXPECT_EQ(earlier, ReadFileBytes(rig.window.backupFile));
  EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(rig.dir.path()), {}))
      << "a partial file was left beside the backup";
}

// The tool may run as root: a name that leads elsewhere is never written through.
TEST(BackupFlashToFile, ALinkOrAFolderAtTheNameIsRefusedAndLeftAsItWas) {
  struct Case {
    const char* Name;
    std::function<void(const std::filesystem::path& at, const std::filesystem::path& elsewhere)>
        Arrange;
    const char* Text;
  };
  const std::vector<std::uint8_t> precious(3000, 0xA5);
  const std::vector<Case> cases = {
      {"folder",
       [](const std::filesystem::path& at, const std::filesystem::path&) {
         std::filesystem::create_directory(at);
       },
       "Backup name is no plain file: nothing saved!"},
      {"link to a file",
       [&](const std::filesystem::path& at, const std::filesystem::path& elsewhere) {
         WriteFileBytes(elsewhere, precious);
         std::filesystem::create_symlink(elsewhere, at);
       },
       "Backup name is a link: nothing saved!"},
      {"link to nothing yet",
       [](const std::filesystem::path& at, const std::filesystem::path& elsewhere) {
         std::filesystem::create_symlink(elsewhere, at);
       },
       "Backup name is a link: nothing saved!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    SerialFlashRig rig(Qv40714Winbond());
    const std::filesystem::path at = rig.dir.File("backup.bin");
    const std::filesystem::path elsewhere = rig.dir.File("elsewhere.bin");
    try {
      c.Arrange(at, elsewhere);
    } catch (const std::filesystem::filesystem_error& error) {
      // Windows lets only some accounts make symbolic links; the folder case has run by then.
      GTEST_SKIP() << "cannot make the name: " << error.what();
    }
    const auto before = std::filesystem::symlink_status(at).type();
    const bool hadTarget = std::filesystem::exists(elsewhere);
    rig.window.backupFile = at.string();

    EXPECT_EQ(0, BackupFlashToFile(rig.window, rig.path, 0));

    EXPECT_EQ(c.Text, rig.window.StatusText());
    EXPECT_EQ(before, std::filesystem::symlink_status(at).type());
    EXPECT_EQ(hadTarget, std::filesystem::exists(elsewhere));
    if (hadTarget) {
      EXPECT_EQ(precious, ReadFileBytes(elsewhere));
    }
    EXPECT_EQ(rig.oldFlash, rig.Flash());
  }
}

}  // namespace
}  // namespace q71x::testing
