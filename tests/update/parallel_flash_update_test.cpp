// SPDX-License-Identifier: GPL-2.0-or-later
// The parallel-flash procedures against scripted bridge answers: what is sent in which order, how
// the operator is told, that nothing is erased before the image is known to be programmable, and
// the backup file's failures. What the flash holds afterwards is shown against the simulator.

#include "src/update/parallel/parallel_flash_update.h"
#include "src/catalog/parallel_part_table.h"
#include "src/update/update_procedure.h"

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "src/device/parallel_flash_commands.h"
#include "src/update/update_texts.h"
#include "tests/support/cdb_script.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/update/disk_and_parallel_test_files.h"
#include "tests/update/expected_texts.h"

namespace q71x {
namespace {

using testing::CdbScript;
using testing::kPowerCycle;
using testing::PatternBytes;
using testing::RecordedCommand;
using testing::RecordingDialogs;
using testing::RecordingWindow;
using testing::ScriptedPlatform;
using testing::ScriptedReply;
using testing::TempDir;

using Bytes = std::vector<std::uint8_t>;

const std::string kDevice = "usbstor:parallel";
const Bytes kBusy = {0xFF, 0x04, 0x00};
const Bytes kProgram = {0xFF, 0x04, 0x02};
const Bytes kRead = {0xFF, 0x04, 0x03};

bool Starts(const RecordedCommand& command, const Bytes& prefix) {
  return command.Cdb.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), command.Cdb.begin());
}

Bytes Erased() {
  return Bytes(kParallelFlashSize, 0xFF);
}

// The whole part as it must read after programming `file`: the file, then zeros.
Bytes Programmed(const Bytes& file) {
  Bytes flash(kParallelFlashSize, 0x00);
  std::copy(file.begin(), file.end(), flash.begin());
  return flash;
}

class ParallelFlashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The flash reads answer from a queue so the blank check and the read-back can differ;
    // everything else follows the script (idle, and success with no data, unless a test says).
    platform.SetResponder([this](const RecordedCommand& command) {
      if (Starts(command, kRead) && !reads.empty()) {
        ScriptedReply reply = reads.front();
        reads.pop_front();
        return reply;
      }
      return script.Answer(command);
    });
    script.On(kBusy, ScriptedReply{true, 0, {0x00}, -1});
  }

  void QueueRead(Bytes data) { reads.push_back(ScriptedReply{true, 0, std::move(data), -1}); }
  void QueueFailedRead() { reads.push_back(ScriptedReply{false, 1117, {}, 0}); }
  // The second copy of a proven read comes as its first 16 bytes, then the rest.
  void QueueSecondCopy(const Bytes& data) {
    constexpr std::ptrdiff_t kFirstPiece = 16;
    QueueRead(Bytes(data.begin(), data.begin() + kFirstPiece));
    QueueRead(Bytes(data.begin() + kFirstPiece, data.end()));
  }

  std::vector<const RecordedCommand*> Sent(const Bytes& prefix) const {
    std::vector<const RecordedCommand*> found;
    for (const auto& command : platform.Commands()) {
      if (Starts(command, prefix)) {
        found.push_back(&command);
      }
    }
    return found;
  }
  // The commands other than the busy questions, by their operation byte.
  std::vector<int> Operations() const {
    std::vector<int> operations;
    for (const auto& command : platform.Commands()) {
      if (!Starts(command, kBusy)) {
        operations.push_back(command.Cdb[2]);
      }
    }
    return operations;
  }

  std::string ImageFile(const Bytes& bytes) { return files.Write("image.bin", bytes); }

  ScriptedPlatform platform;
  ScopedActivePlatform scope{platform};
  CdbScript script;
  std::deque<ScriptedReply> reads;
  RecordingWindow window;
  RecordingDialogs dialogs;
  TempDir files;
};

TEST_F(ParallelFlashTest, IdleWaitStopsAtFirstIdleAnswerAndGivesUpAfterFiftyThousandBusy) {
  int asked = 0;
  platform.SetResponder([&](const RecordedCommand&) {
    ++asked;
    return ScriptedReply{true, 0, {static_cast<std::uint8_t>(asked < 3 ? 0x01 : 0x00)}, -1};
  });
  EXPECT_EQ(1, WaitParallelFlashIdle(kDevice));
  EXPECT_EQ(3, asked);

  // A question the bridge refuses counts as busy, like a busy answer.
  asked = 0;
  platform.SetResponder([&](const RecordedCommand&) {
    ++asked;
    return ScriptedReply{false, 1117, {}, 0};
  });
  EXPECT_EQ(0, WaitParallelFlashIdle(kDevice));
  EXPECT_EQ(100 * 500, asked);
  // No pause between questions.
  EXPECT_TRUE(platform.Sleeps().empty());
}

TEST_F(ParallelFlashTest, OneByteImageIsProgrammedAsTheWholePartAndCompared) {
  const Bytes file = {0x5A};
  window.firmwareFile = ImageFile(file);
  QueueRead(Erased());
  QueueRead(Programmed(file));

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, ParallelPartItem(ParallelPart::Atmel)));

  EXPECT_EQ((std::vector<int>{0x05, 0x04, 0x01, 0x03, 0x02, 0x03}), Operations());
  const auto program = Sent(kProgram);
  ASSERT_EQ(1u, program.size());
  EXPECT_EQ(Programmed(file), program[0]->DataOut);
  for (const auto* read : Sent(kRead)) {
    EXPECT_EQ(kParallelFlashSize, read->Record.DataTransferLength);
    EXPECT_EQ((Bytes{0xFF, 0x04, 0x03, 0, 0, 0, 0}),
              Bytes(read->Cdb.begin(), read->Cdb.begin() + 7));
  }
  EXPECT_EQ((std::vector<std::string>{"Erase command ok!!", "Programming Success!!",
                                      "Programming & Compare Success!!"}),
            window.statusHistory);
  // Every status is repainted at once; the window's input stays queued during the operation.
  EXPECT_EQ(3, window.redraws);
  EXPECT_EQ(0, window.messagePumps);
  EXPECT_EQ(std::vector<std::string>{kPowerCycle}, dialogs.BoxTexts());
  EXPECT_EQ("Message", dialogs.Boxes()[0].Caption);
}

TEST_F(ParallelFlashTest, ImagesThatCannotBeProgrammedAreRefusedBeforeAnythingIsErased) {
  struct Case {
    std::string path;
    std::string status;
  };
  const std::vector<Case> cases = {
      {files.File("missing.bin"), "Open New ROM File Error!!"},
      {files.Write("empty.bin", {}), "Firmware file is empty (0 bytes), nothing erased!"},
      {files.Write("big.bin", PatternBytes(kParallelFlashSize + 1)),
       "Firmware file too large for the flash address range, nothing erased!"},
      {std::string(260, 'a'), "Firmware file name too long!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    platform.ClearCommands();
    window.firmwareFile = c.path;
    EXPECT_EQ(0, UpdateParallelFlash(window, kDevice, ParallelPartItem(ParallelPart::Atmel)));
    EXPECT_EQ(c.status, window.StatusText());
    EXPECT_EQ((std::vector<int>{0x05}), Operations());
  }
  EXPECT_TRUE(dialogs.Boxes().empty());
}

TEST_F(ParallelFlashTest, BufferThatCannotBeHadIsReportedBeforeAnythingIsErased) {
  window.firmwareFile = ImageFile(PatternBytes(100));
  for (int failing : {1, 2}) {
    platform.ClearCommands();
    testing::FailNthWorkBuffer failure(failing);
    EXPECT_EQ(0, UpdateParallelFlash(window, kDevice, ParallelPartItem(ParallelPart::Atmel)));
    EXPECT_EQ("Allocate read buffer Error!!", window.StatusText());
    EXPECT_EQ((std::vector<int>{0x05}), Operations());
  }
}

class ParallelBackupTest : public ParallelFlashTest {
 protected:
  void SetUp() override {
    ParallelFlashTest::SetUp();
    window.TickFor(EngineeringAction::BackupOnly);
    window.settings.FirmwareSize = 32768;  // the backup ignores it
  }
};

TEST_F(ParallelBackupTest, EmptyFieldWritesOldflashBakInTheCurrentDirectoryAfterTheBox) {
  // The part is read twice; only two agreeing reads go into the file.
  QueueRead(PatternBytes(kParallelFlashSize, 4));
  QueueSecondCopy(PatternBytes(kParallelFlashSize, 4));
  testing::ScopedCurrentDir here(files.Path());

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, ParallelPartItem(ParallelPart::Atmel)));
  EXPECT_EQ(std::vector<std::string>{"Default backup firmware as OldFalsh.bak!"},
            dialogs.BoxTexts());
  EXPECT_EQ(PatternBytes(kParallelFlashSize, 4),
            testing::ReadFileBytes(files.File("oldflash.bak")));
  const auto reads = Sent(kRead);
  ASSERT_EQ(3u, reads.size());
  const std::uint32_t lengths[] = {kParallelFlashSize, 16, kParallelFlashSize - 16};
  for (std::size_t i = 0; i < reads.size(); ++i) {
    EXPECT_EQ(lengths[i], reads[i]->Record.DataTransferLength);
  }
}

TEST_F(ParallelBackupTest, FailuresAreNeverReportedAsABackup) {
  enum class Reads { Agree, FirstRefused, SecondRefused, Differ };
  struct Case {
    std::string name;
    std::string backupFile;
    Reads reads;
    int failingBuffer;
    std::string status;
  };
  const std::vector<Case> cases = {
      {"read refused", files.File("a.bak"), Reads::FirstRefused, 0, "Read ROM fail!!"},
      {"second read refused", files.File("d.bak"), Reads::SecondRefused, 0, "Read ROM fail!!"},
      {"reads differ", files.File("e.bak"), Reads::Differ, 0, "Read ROM fail!!"},
      {"buffer not had", files.File("b.bak"), Reads::Agree, 1, "Allocate read buffer Error!!"},
      {"second copy not had", files.File("f.bak"), Reads::Agree, 2, "Allocate read buffer Error!!"},
      {"file not created", files.File("no/such/dir/c.bak"), Reads::Agree, 0,
       "Read ROM Suceess, but save to file fail!!"},
      {"file not written whole", files.File("g.bak"), Reads::Agree, 0,
       std::string(kWriteBackupFileErrorText)},
      {"name too long", std::string(260, 'b'), Reads::Agree, 0, "Backup file name too long!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<testing::ScopedFileSizeLimit> diskFull;
    if (c.name == "file not written whole" && !diskFull.emplace(4096).Active()) {
      continue;  // no way to fill the disk on this system
    }
    reads.clear();
    switch (c.reads) {
      case Reads::Agree:
        QueueRead(Erased());
        QueueSecondCopy(Erased());
        break;
      case Reads::FirstRefused:
        QueueFailedRead();
        break;
      case Reads::SecondRefused:
        QueueRead(Erased());
        QueueFailedRead();
        break;
      case Reads::Differ: {
        Bytes garbled = Erased();
        garbled[40000] = 0xFE;
        QueueRead(Erased());
        QueueSecondCopy(garbled);
        break;
      }
    }
    window.backupFile = c.backupFile;
    testing::FailNthWorkBuffer failure(c.failingBuffer);
    EXPECT_EQ(0, UpdateParallelFlash(window, kDevice, ParallelPartItem(ParallelPart::Atmel)));
    EXPECT_EQ(c.status, window.StatusText());
  }
  for (const char* name : {"a.bak", "b.bak", "d.bak", "e.bak", "f.bak", "g.bak"}) {
    EXPECT_FALSE(std::filesystem::exists(files.File(name))) << name;
  }
}

}  // namespace
}  // namespace q71x
