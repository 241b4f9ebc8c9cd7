// The parallel-flash procedures against scripted bridge answers: what is sent in which order, what
// the operator is told, and that nothing is erased before the image is known to be programmable.

#include "src/update/parallel_flash_update.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "src/device/parallel_flash_commands.h"
#include "tests/support/cdb_script.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/recording_window.h"
#include "tests/update/disk_and_parallel_test_files.h"

namespace q71x {
namespace {

using testing::CdbScript;
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
const Bytes kStart = {0xFF, 0x04, 0x01};
const Bytes kProgram = {0xFF, 0x04, 0x02};
const Bytes kRead = {0xFF, 0x04, 0x03};
const Bytes kErase = {0xFF, 0x04, 0x04};
const Bytes kEnable = {0xFF, 0x04, 0x05};
const std::string kPowerCycle = "Please Turn-Off the Power and Turn-On Again!";

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
 public:
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
  void NeverIdle() { script.On(kBusy, ScriptedReply{true, 0, {0x01}, -1}); }

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

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));

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

TEST_F(ParallelFlashTest, PartChoiceReachesEraseAndProgramSequences) {
  const Bytes file = PatternBytes(kParallelFlashSize);
  window.firmwareFile = ImageFile(file);
  QueueRead(Erased());
  QueueRead(file);

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, kParallelPartPmc));
  ASSERT_EQ(1u, Sent(kErase).size());
  EXPECT_EQ((Bytes{0x55, 0x05, 0xAA, 0x02, 0x55, 0x05, 0x55, 0x05, 0xAA, 0x02, 0x55, 0x05, 0xAA,
                   0x55, 0x80, 0xAA, 0x55, 0x10}),
            Sent(kErase)[0]->DataOut);
  ASSERT_EQ(1u, Sent(kProgram).size());
  EXPECT_EQ((Bytes{0x55, 0x05, 0xAA, 0x02, 0x55, 0x05, 0xAA, 0x55, 0xA0}),
            Bytes(Sent(kProgram)[0]->Cdb.begin() + 3, Sent(kProgram)[0]->Cdb.begin() + 12));
}

TEST_F(ParallelFlashTest, A1ChipSkipsTheSwitchToInternalRom) {
  window.a1Chip = true;
  script.Fail(kEnable);  // a bridge that would refuse the switch
  const Bytes file = PatternBytes(1000);
  window.firmwareFile = ImageFile(file);
  QueueRead(Erased());
  QueueRead(Programmed(file));

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, kParallelPartSst));
  EXPECT_TRUE(Sent(kEnable).empty());
  EXPECT_EQ("Programming & Compare Success!!", window.StatusText());
}

TEST_F(ParallelFlashTest, BridgeThatNeverReportsIdleStillEndsInTheCompare) {
  NeverIdle();
  const Bytes file = PatternBytes(4096);
  window.firmwareFile = ImageFile(file);
  QueueRead(Programmed(file));

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
  // Three waits gave up: after the erase start, before programming, before the read-back. No
  // blank check follows a wait that gave up.
  EXPECT_EQ(3u * 50000u, Sent(kBusy).size());
  EXPECT_EQ(1u, Sent(kRead).size());
  EXPECT_EQ((std::vector<std::string>{"Erase command ok,status fail!!", "Programming Success!!",
                                      "Programming & Compare Success!!"}),
            window.statusHistory);
}

// One row of the update's failure table: how the bridge misbehaves and what must follow.
struct UpdateFailureRow {
  const char* name;
  void (*arrange)(ParallelFlashTest&, CdbScript&, const Bytes& file);
  int result;
  const char* lastStatus;
  bool programmed;
  bool powerCycleBox;
};

class ParallelUpdateFailureTest : public ParallelFlashTest,
                                  public ::testing::WithParamInterface<UpdateFailureRow> {};

TEST_P(ParallelUpdateFailureTest, ReportsAndStopsOrGoesOnAsTheTableSays) {
  const UpdateFailureRow& row = GetParam();
  const Bytes file = PatternBytes(30000);
  window.firmwareFile = ImageFile(file);
  row.arrange(*this, script, file);

  EXPECT_EQ(row.result, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
  EXPECT_EQ(row.lastStatus, window.StatusText());
  EXPECT_EQ(row.programmed, !Sent(kProgram).empty());
  EXPECT_EQ(row.powerCycleBox ? 1u : 0u, dialogs.Boxes().size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParallelUpdateFailureTest,
    ::testing::Values(
        UpdateFailureRow{"SwitchToRomRefused",
                         [](ParallelFlashTest&, CdbScript& s, const Bytes&) { s.Fail(kEnable); }, 0,
                         "Can't switch to internal ROM", false, false},
        UpdateFailureRow{"EraseSequenceRefused",
                         [](ParallelFlashTest&, CdbScript& s, const Bytes&) { s.Fail(kErase); }, 0,
                         "Error pre-erase command!!", false, false},
        UpdateFailureRow{"FlashNotBlank",
                         [](ParallelFlashTest& t, CdbScript&, const Bytes&) {
                           Bytes flash = Erased();
                           flash[65535] = 0xFE;
                           t.QueueRead(flash);
                         },
                         0, "Not Erase correctly!", false, false},
        UpdateFailureRow{"ProgramRefused",
                         [](ParallelFlashTest& t, CdbScript& s, const Bytes&) {
                           t.QueueRead(Erased());
                           s.Fail(kProgram);
                         },
                         0, "Programming Fail!!", true, false},
        UpdateFailureRow{"ReadBackRefused",
                         [](ParallelFlashTest& t, CdbScript&, const Bytes&) {
                           t.QueueRead(Erased());
                           t.QueueFailedRead();
                         },
                         0, "Read Fail!!", true, false},
        UpdateFailureRow{"ReadBackDiffersInThePadding",
                         [](ParallelFlashTest& t, CdbScript&, const Bytes& file) {
                           t.QueueRead(Erased());
                           Bytes flash = Programmed(file);
                           flash[60000] = 0x01;
                           t.QueueRead(flash);
                         },
                         0, "Compare Fail!!", true, false},
        // The erase is not a gate: these let programming go ahead.
        UpdateFailureRow{"StartRefused",
                         [](ParallelFlashTest& t, CdbScript& s, const Bytes& file) {
                           s.Fail(kStart);
                           t.QueueRead(Programmed(file));
                         },
                         1, "Programming & Compare Success!!", true, true},
        UpdateFailureRow{"BlankCheckReadRefused",
                         [](ParallelFlashTest& t, CdbScript&, const Bytes& file) {
                           t.QueueFailedRead();
                           t.QueueRead(Programmed(file));
                         },
                         1, "Programming & Compare Success!!", true, true}),
    [](const ::testing::TestParamInfo<UpdateFailureRow>& info) { return info.param.name; });

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
      {std::string(260, 'a'),
       "Firmware file name too long (260 characters or more), not accepted!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    platform.ClearCommands();
    window.firmwareFile = c.path;
    EXPECT_EQ(0, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
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
    EXPECT_EQ(0, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
    EXPECT_EQ("Allocate read buffer Error!!", window.StatusText());
    EXPECT_EQ((std::vector<int>{0x05}), Operations());
  }
}

// The erase-only action, reached through the Run action with the erase-only state set.
struct EraseOnlyRow {
  const char* name;
  void (*arrange)(ParallelFlashTest&, CdbScript&);
  int failingBuffer;  // 0: none
  int result;
  const char* lastStatus;
  bool powerCycleBox;
};

class ParallelEraseOnlyTest : public ParallelFlashTest,
                              public ::testing::WithParamInterface<EraseOnlyRow> {};

TEST_P(ParallelEraseOnlyTest, EndsAsTheTableSays) {
  const EraseOnlyRow& row = GetParam();
  window.state.EraseOnly = 1;
  row.arrange(*this, script);
  testing::FailNthWorkBuffer failure(row.failingBuffer);

  EXPECT_EQ(row.result, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
  EXPECT_EQ("Start Erase only!", window.statusHistory.front());
  EXPECT_EQ(row.lastStatus, window.StatusText());
  EXPECT_EQ(row.powerCycleBox ? std::vector<std::string>{kPowerCycle} : std::vector<std::string>{},
            dialogs.BoxTexts());
  EXPECT_TRUE(Sent(kProgram).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParallelEraseOnlyTest,
    ::testing::Values(
        EraseOnlyRow{"Erased", [](ParallelFlashTest& t, CdbScript&) { t.QueueRead(Erased()); }, 0,
                     1, "Erase All success!!", true},
        EraseOnlyRow{"EraseSequenceRefused",
                     [](ParallelFlashTest&, CdbScript& s) { s.Fail(kErase); }, 0, 0,
                     "Error pre-erase command!!", false},
        EraseOnlyRow{"StartRefused", [](ParallelFlashTest&, CdbScript& s) { s.Fail(kStart); }, 0, 1,
                     "Start Erase only!", true},
        EraseOnlyRow{"NeverIdle", [](ParallelFlashTest& t, CdbScript&) { t.NeverIdle(); }, 0, 1,
                     "Erase command ok,status fail!!", true},
        EraseOnlyRow{"BufferNotHad", [](ParallelFlashTest&, CdbScript&) {}, 1, 0,
                     "Allocate read buffer Error!!", false},
        EraseOnlyRow{"ReadBackRefused",
                     [](ParallelFlashTest& t, CdbScript&) { t.QueueFailedRead(); }, 0, 1,
                     "Read Back after Erase fail!!", true},
        EraseOnlyRow{"NotBlank",
                     [](ParallelFlashTest& t, CdbScript&) {
                       Bytes flash = Erased();
                       flash[0] = 0x7F;
                       t.QueueRead(flash);
                     },
                     0, 0, "Not Erase correctly!", false}),
    [](const ::testing::TestParamInfo<EraseOnlyRow>& info) { return info.param.name; });

class ParallelBackupTest : public ParallelFlashTest {
 protected:
  void SetUp() override {
    ParallelFlashTest::SetUp();
    window.backupOnly = true;
    window.settings.FirmwareSize = 32768;  // the backup ignores it
  }
};

TEST_F(ParallelBackupTest, WritesTheWholePartToTheNamedFile) {
  const Bytes flash = PatternBytes(kParallelFlashSize, 9);
  QueueRead(flash);
  window.backupFile = files.File("old.bak");

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
  EXPECT_EQ(flash, testing::ReadFileBytes(window.backupFile));
  EXPECT_EQ((std::vector<std::string>{"Backup ...", "Read flash and backup success!"}),
            window.statusHistory);
  EXPECT_TRUE(dialogs.Boxes().empty());
  EXPECT_TRUE(Sent(kErase).empty());
}

TEST_F(ParallelBackupTest, EmptyFieldWritesOldflashBakInTheCurrentDirectoryAfterTheBox) {
  QueueRead(Erased());
  testing::ScopedCurrentDir here(files.Path());

  EXPECT_EQ(1, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
  EXPECT_EQ(std::vector<std::string>{"Default backup firmware as OldFalsh.bak!"},
            dialogs.BoxTexts());
  EXPECT_EQ(Erased(), testing::ReadFileBytes(files.File("oldflash.bak")));
}

TEST_F(ParallelBackupTest, FailuresAreNeverReportedAsABackup) {
  struct Case {
    std::string name;
    std::string backupFile;
    bool readFails;
    int failingBuffer;
    std::string status;
  };
  const std::vector<Case> cases = {
      {"read refused", files.File("a.bak"), true, 0, "Read ROM fail!!"},
      {"buffer not had", files.File("b.bak"), false, 1, "Allocate read buffer Error!!"},
      {"file not created", files.File("no/such/dir/c.bak"), false, 0,
       "Read ROM Suceess, but save to file fail!!"},
      {"file not written whole", "/dev/full", false, 0,
       "Write Backup File Error!! The backup file is incomplete."},
      {"name too long", std::string(260, 'b'), false, 0,
       "Backup file name too long (260 characters or more), not accepted!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.backupFile == "/dev/full" && !std::filesystem::exists(c.backupFile)) {
      continue;  // a device that takes no bytes exists only on some systems
    }
    reads.clear();
    c.readFails ? QueueFailedRead() : QueueRead(Erased());
    window.backupFile = c.backupFile;
    testing::FailNthWorkBuffer failure(c.failingBuffer);
    EXPECT_EQ(0, UpdateParallelFlash(window, kDevice, kParallelPartAtmel));
    EXPECT_EQ(c.status, window.StatusText());
  }
  EXPECT_FALSE(std::filesystem::exists(files.File("a.bak")));
  EXPECT_FALSE(std::filesystem::exists(files.File("b.bak")));
}

}  // namespace
}  // namespace q71x
