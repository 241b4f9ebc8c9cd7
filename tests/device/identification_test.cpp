// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/identification.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "src/catalog/chip_tables.h"
#include "tests/support/cdb_script.h"
#include "tests/support/recording_dialogs.h"

namespace q71x {
namespace {

using testing::CdbScript;
using testing::ScriptedPlatform;
using testing::ScriptedReply;
using testing::TextBytes;

const std::string kPath = "sim:usbstor:disk:bridge";
const std::vector<std::uint8_t> kInquiry = {0x12};
const std::vector<std::uint8_t> kChipId = {0xDF, 0x10, 0x00, 0x00, 0x02};
const std::vector<std::uint8_t> kFwInfo = {0xE0, 0xF4, 0xE7};
const std::vector<std::uint8_t> kChipInfo = {0xFF, 0x04, 0x30};
const std::vector<std::uint8_t> kLateRevision = {0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0xFD, 0xB0};
const std::vector<std::uint8_t> kSpiCommand = {0xFF, 0x04, 0x20, 0x01, 0x01};
const std::vector<std::uint8_t> kSpiData = {0xFF, 0x04, 0x21};
const std::vector<std::uint8_t> kLegacyId = {0xFF, 0x04, 0x15};

ScriptedReply Reply(std::vector<std::uint8_t> data) {
  return ScriptedReply{true, 0, std::move(data), -1};
}

std::vector<std::uint8_t> InquiryWithCode(const std::string& code) {
  std::vector<std::uint8_t> reply(40, 0);
  const std::string name = "QUVARIS BRIDGE DISK     ";
  std::copy(name.begin(), name.end(), reply.begin() + 8);
  std::copy(code.begin(), code.end(), reply.begin() + 36);
  return reply;
}

std::vector<std::uint8_t> FwInfo(std::uint8_t vidHi, std::uint8_t vidLo, std::uint8_t pidHi,
                                 std::uint8_t pidLo, const std::string& code, char revision) {
  std::vector<std::uint8_t> reply = {0xF4, 0xE7, vidHi, vidLo, pidHi, pidLo, 1, 2};
  for (char c : code)
    reply.push_back(static_cast<std::uint8_t>(c));
  reply.push_back(static_cast<std::uint8_t>(revision));
  reply.insert(reply.end(), {3, 4, 5, 0});
  return reply;
}

std::vector<std::uint8_t> ChipInfo(const std::string& code, std::uint8_t revisionByte) {
  std::vector<std::uint8_t> reply = TextBytes(code);
  reply.resize(5, 0);
  reply.push_back(revisionByte);
  reply.resize(40, 0);
  return reply;
}

class IdentificationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script.Attach(platform);
    // A device with no INQUIRY code that answers nothing else unless a test says so.
    script.On(kInquiry, Reply(InquiryWithCode("    ")));
    script.Fail(kChipId);
    script.Fail(kChipInfo);
  }
  std::pair<int, int> Identify() {
    const std::uint16_t id = IdentifyChip(kPath);
    return {IdentityType(id), IdentityRevision(id)};
  }
  int CountCommands(const std::vector<std::uint8_t>& prefix) const {
    int n = 0;
    for (const auto& c : platform.Commands()) {
      if (std::equal(prefix.begin(), prefix.end(), c.Cdb.begin()))
        ++n;
    }
    return n;
  }

  ScriptedPlatform platform;
  ScopedActivePlatform scope{platform};
  CdbScript script;
  testing::RecordingDialogs dialogs;
};

TEST_F(IdentificationTest, InquiryCodesSelectTheirRowsWithoutFurtherQueries) {
  const std::pair<const char*, int> cases[] = {
      {"q714", 1}, {"q712", 2}, {"q716", 3},  {"q713", 4},  {"q709", 5},  {"q842", 6},  {"q846", 7},
      {"q848", 8}, {"q844", 9}, {"q962", 10}, {"q958", 11}, {"q926", 12}, {"q924", 13},
  };
  script.Fail(kLateRevision);
  script.On(kFwInfo, Reply(FwInfo(0x12, 0x34, 0x56, 0x78, "846", '1')));
  for (const auto& [code, type] : cases) {
    script.On(kInquiry, Reply(InquiryWithCode(code)));
    platform.ClearCommands();
    EXPECT_EQ(type, Identify().first) << code;
    // The firmware-info reply is never the source of the type once INQUIRY decided it.
    EXPECT_EQ(0, CountCommands(kChipId)) << code;
  }
  // Upper case is not a match.
  script.On(kInquiry, Reply(InquiryWithCode("Q714")));
  EXPECT_EQ(0, Identify().first);
}

TEST_F(IdentificationTest, FirmwareInfoCodesAndRevisionDigit) {
  script.On(kChipId, Reply({0x00, 0x00}));
  script.Fail(kLateRevision);
  const std::pair<const char*, int> cases[] = {
      {"714", 1}, {"712", 2}, {"716", 3},  {"713", 4},  {"709", 5},  {"842", 6},  {"846", 7},
      {"848", 8}, {"844", 9}, {"962", 10}, {"958", 11}, {"926", 12}, {"924", 13},
  };
  for (const auto& [code, type] : cases) {
    script.On(kFwInfo, Reply(FwInfo(0x04, 0xB4, 0x12, 0x34, code, '3')));
    const auto [gotType, gotRevision] = Identify();
    EXPECT_EQ(type, gotType) << code;
    if (type == 7) {
      // Type 7 re-reads its revision: '3' is neither 1 nor 2, so the box shows and it stays 3.
      EXPECT_EQ(3, gotRevision);
    } else if (type != 1) {  // type 1 without chip info gets revision 1
      EXPECT_EQ(3, gotRevision) << code;
    }
  }
}

TEST_F(IdentificationTest, UnknownCodeWithSignatureKeepsTypeZeroAndTriesChipInfo) {
  script.On(kChipId, Reply({0x00, 0x00}));
  script.On(kFwInfo, Reply(FwInfo(0x04, 0xB4, 0x12, 0x34, "999", '4')));
  EXPECT_EQ(std::make_pair(0, 4), Identify());
  EXPECT_EQ(1, CountCommands(kChipInfo));
  // ...and the chip info can still name it.
  script.On(kChipInfo, Reply(ChipInfo("q713E", 2)));
  EXPECT_EQ(std::make_pair(14, 3), Identify());
}

TEST_F(IdentificationTest, ChipIdBitsNameTheBareModelsWithoutSignature) {
  std::vector<std::uint8_t> foreign = FwInfo(0x04, 0xB4, 0x12, 0x34, "714", '1');
  foreign[0] = 0x12;
  script.On(kFwInfo, Reply(foreign));
  const std::pair<std::uint8_t, int> cases[] = {{0x00, 15}, {0x20, 16}, {0x40, 17},
                                                {0x60, 18}, {0x9F, 15}, {0xE0, 18}};
  for (const auto& [bits, type] : cases) {
    script.On(kChipId, Reply({bits, 0x00}));
    EXPECT_EQ(type, Identify().first) << int(bits);
  }
}

TEST_F(IdentificationTest, UsbIdsWinOverInfoCode) {
  script.On(kChipId, Reply({0x00, 0x00}));
  script.On(kFwInfo, Reply(FwInfo(0x7A, 0x5E, 0x47, 0x12, "714", '1')));
  EXPECT_EQ(19, Identify().first);
  EXPECT_EQ(19, IdentityType(IdentifyChip(kPath)));
  EXPECT_EQ("QV40712", ChipTypeName(19));
}

TEST_F(IdentificationTest, ChipInfoRefinesTypesAndRevisions) {
  struct Case {
    const char* inquiry;
    const char* chipInfo;
    std::uint8_t revisionByte;
    int type;
    int revision;
  };
  const Case cases[] = {
      {"q713", "q713E", 2, 14, 3},   // byte 5 + 1
      {"q716", "q714C", '0', 1, 1},  // another type's code wins; ASCII "0" is revision 1
      {"q713", "q713C", '2', 4, 3}, {"q926", "q926A", '3', 12, 4},
      {"q842", "q842", 0, 6, 1},                                   // 4-character code, byte 5 zero
      {"q842", "q842", '1', 6, 2},  {"q714", "qXXXX", '5', 1, 0},  // no match: unchanged
  };
  for (const Case& c : cases) {
    script.On(kInquiry, Reply(InquiryWithCode(c.inquiry)));
    script.On(kChipInfo, Reply(ChipInfo(c.chipInfo, c.revisionByte)));
    EXPECT_EQ(std::make_pair(c.type, c.revision), Identify()) << c.inquiry << "/" << c.chipInfo;
  }
}

TEST_F(IdentificationTest, TypeOneRejectingChipInfoGetsRevisionOne) {
  script.On(kInquiry, Reply(InquiryWithCode("q714")));
  EXPECT_EQ(std::make_pair(1, 1), Identify());
  script.On(kInquiry, Reply(InquiryWithCode("q716")));
  EXPECT_EQ(std::make_pair(3, 0), Identify());
}

TEST_F(IdentificationTest, ChipInfoRecognisesDeviceThatFailsEverythingElse) {
  script.Fail(kInquiry);
  script.On(kChipInfo, Reply(ChipInfo("q714C", '1')));
  EXPECT_EQ(std::make_pair(1, 2), Identify());
}

TEST_F(IdentificationTest, Type7RevisionFromShortFirmwareInfoOrBox) {
  script.On(kInquiry, Reply(InquiryWithCode("q846")));
  script.On(kFwInfo, Reply(FwInfo(0x04, 0xB4, 0x12, 0x34, "846", '2')));
  EXPECT_EQ(std::make_pair(7, 2), Identify());
  const auto& request = platform.Commands().back();
  EXPECT_EQ(12u, request.Record.DataTransferLength);
  EXPECT_TRUE(dialogs.Boxes().empty());

  script.Fail(kFwInfo);
  EXPECT_EQ(std::make_pair(7, 0), Identify());
  ASSERT_EQ(1u, dialogs.Boxes().size());
  EXPECT_EQ("Get chip information fail !", dialogs.Boxes()[0].Text);
  EXPECT_EQ("Error", dialogs.Boxes()[0].Caption);
  EXPECT_EQ(MessageIcon::Error, dialogs.Boxes()[0].Icon);
}

TEST_F(IdentificationTest, Type10LateRevisionFromControllerByte) {
  script.On(kInquiry, Reply(InquiryWithCode("q962")));
  script.On(kLateRevision, Reply({0x00, 0xB4, 0, 0}));
  EXPECT_EQ(std::make_pair(10, 5), Identify());
  script.On(kLateRevision, Reply({0x00, 0xB3, 0, 0}));
  EXPECT_EQ(std::make_pair(10, 0), Identify());
  script.Fail(kLateRevision);
  EXPECT_EQ(std::make_pair(10, 0), Identify());
}

TEST_F(IdentificationTest, GarbageAndShortRepliesStillGiveAType) {
  // A reply that moves only 3 bytes, a length larger than asked, and random bytes everywhere.
  script.On(kInquiry, ScriptedReply{true, 0, {0x00, 0x80, 0x05}, 3});
  script.On(kChipId, ScriptedReply{true, 0, {0xFF}, 100000});
  script.On(kFwInfo, ScriptedReply{true, 0, {0xF4, 0xE7, 0xFF}, 100000});
  script.On(kChipInfo, ScriptedReply{true, 0, {0x01, 0x02}, 1});
  const auto [type, revision] = Identify();
  EXPECT_EQ(0, type);
  EXPECT_EQ(static_cast<std::uint8_t>(0 - 0x30), revision);  // byte 11 read as zero
}

TEST_F(IdentificationTest, ChipInfoShorterThanEightIsRefusedBeforeSending) {
  std::uint8_t reply[7];
  EXPECT_EQ(0, GetChipInfo(kPath, reply, sizeof reply));
  EXPECT_TRUE(platform.Commands().empty());
}

// ---- serial-flash detection ----

class FlashDetectionTest : public IdentificationTest {
 protected:
  void Answer(std::uint8_t opcode, std::vector<std::uint8_t> bytes) {
    // The data phase answers with whatever the last opcode was: model it per opcode by keying
    // on the command's own sequence.
    replies_[opcode] = std::move(bytes);
  }
  void FailOpcode(std::uint8_t opcode) { failing_.insert(opcode); }
  void SetUp() override {
    platform.SetResponder([this](const testing::RecordedCommand& c) {
      if (c.Cdb[2] == 0x20) {
        lastOpcode_ = c.Cdb[5];
        return failing_.count(lastOpcode_) ? ScriptedReply{false, 1, {}, 0} : ScriptedReply{};
      }
      if (c.Cdb[2] == 0x21) {
        auto it = replies_.find(lastOpcode_);
        return it == replies_.end() ? ScriptedReply{} : Reply(it->second);
      }
      if (c.Cdb[2] == 0x15) {
        const std::uint8_t key = c.Cdb[4] == 0x15 ? 0xF5 : 0xFA;  // legacy 15 / legacy AB
        if (failing_.count(key))
          return ScriptedReply{false, 1, {}, 0};
        auto it = replies_.find(key);
        return it == replies_.end() ? ScriptedReply{} : Reply(it->second);
      }
      return ScriptedReply{};
    });
  }
  FlashOpcodeSet Detect(int& result) {
    FlashOpcodeSet set{0x11, 0x22, 0x33, static_cast<FlashVendor>(0x44)};
    result = DetectSerialFlash(kPath, set);
    return set;
  }

  std::map<std::uint8_t, std::vector<std::uint8_t>> replies_;
  std::set<std::uint8_t> failing_;
  std::uint8_t lastOpcode_ = 0;
};

TEST_F(FlashDetectionTest, FirstProbeFailingIsDefaultSuccess) {
  FailOpcode(0xAB);
  int result = 0;
  const FlashOpcodeSet set = Detect(result);
  EXPECT_EQ(1, result);
  EXPECT_EQ(0xC7, set.ChipErase);
  EXPECT_EQ(0xD8, set.SectorErase);
  EXPECT_EQ(0x02, set.Program);
  EXPECT_EQ(FlashVendor::Unknown, set.Vendor);
  EXPECT_EQ(1u, platform.Commands().size());
}

TEST_F(FlashDetectionTest, PmcFromElectronicSignature) {
  Answer(0xAB, {0, 0, 0, 0x9D});
  int result = 0;
  EXPECT_EQ(FlashVendor::Pmc, Detect(result).Vendor);
  EXPECT_EQ(1, result);
}

TEST_F(FlashDetectionTest, JedecRulesInOrder) {
  const std::pair<std::vector<std::uint8_t>, FlashVendor> cases[] = {
      {{0x7F, 0x37, 0x20, 0x12}, FlashVendor::Amic},
      {{0x37, 0x30, 0x12, 0x00}, FlashVendor::Amic},
      {{0x1F, 0x65, 0x01, 0}, FlashVendor::Atmel},
      {{0xC2, 0x22, 0x11, 0}, FlashVendor::Mxic},
      {{0xEF, 0x30, 0x13, 0}, FlashVendor::Winbond},
      {{0x20, 0x20, 0x15, 0}, FlashVendor::StEonMxic},
      {{0x1C, 0x31, 0x14, 0}, FlashVendor::Eon},
      {{0x8C, 0x20, 0x14, 0}, FlashVendor::Esmt},
      {{0x7F, 0x9D, 0x20, 0}, FlashVendor::Pmc},
  };
  for (const auto& [id, vendor] : cases) {
    Answer(0x9F, id);
    int result = 0;
    const FlashOpcodeSet set = Detect(result);
    EXPECT_EQ(1, result);
    EXPECT_EQ(vendor, set.Vendor) << int(id[0]);
    EXPECT_EQ(0xC7, set.ChipErase);
  }
}

TEST_F(FlashDetectionTest, SstFromManufacturerIdSetsItsOpcodes) {
  Answer(0x9F, {0xFF, 0xFF, 0xFF, 0xFF});
  Answer(0x90, {0x00, 0x00, 0x00, 0xBF});
  int result = 0;
  const FlashOpcodeSet set = Detect(result);
  EXPECT_EQ(1, result);
  EXPECT_EQ((FlashOpcodeSet{0x60, 0x52, 0xAF, FlashVendor::Sst}.ChipErase), set.ChipErase);
  EXPECT_EQ(0x52, set.SectorErase);
  EXPECT_EQ(0xAF, set.Program);
  EXPECT_EQ(FlashVendor::Sst, set.Vendor);
}

TEST_F(FlashDetectionTest, LegacyIdsAreTheLastResorts) {
  Answer(0x9F, {0xFF, 0xFF, 0xFF, 0xFF});
  Answer(0x90, {0, 0, 0, 0});
  Answer(0xF5, {0x1F, 0x00, 0x00});
  int result = 0;
  FlashOpcodeSet set = Detect(result);
  EXPECT_EQ(1, result);
  EXPECT_EQ(FlashVendor::Atmel, set.Vendor);
  EXPECT_EQ(0x62, set.ChipErase);
  EXPECT_EQ(0x52, set.SectorErase);
  EXPECT_EQ(0x02, set.Program);
  // The legacy opcode-15 block carries no dummy bytes; the AB one does.
  bool saw15 = false;
  for (const auto& c : platform.Commands()) {
    if (c.Cdb[2] == 0x15) {
      EXPECT_EQ((std::vector<std::uint8_t>{0xFF, 0x04, 0x15, 0x03, 0x15, 0x00, 0, 0, 0, 0, 0, 0}),
                c.Cdb);
      EXPECT_EQ(3u, c.Record.DataTransferLength);
      saw15 = true;
    }
  }
  EXPECT_TRUE(saw15);

  Answer(0xF5, {0x00, 0x00, 0x00});
  Answer(0xFA, {0x05, 0x00, 0x00});
  platform.ClearCommands();
  set = Detect(result);
  EXPECT_EQ(1, result);
  EXPECT_EQ(FlashVendor::StEonMxic, set.Vendor);
  EXPECT_EQ((std::vector<std::uint8_t>{0xFF, 0x04, 0x15, 0x03, 0xAB, 0x03, 0, 0, 0, 0, 0, 0}),
            platform.Commands().back().Cdb);
}

TEST_F(FlashDetectionTest, NothingRecognisedIsUndecidedWithDefaults) {
  Answer(0x9F, {0xFF, 0xFF, 0xFF, 0xFF});
  FailOpcode(0x90);
  FailOpcode(0xF5);
  Answer(0xFA, {0x06, 0, 0});
  int result = 1;
  const FlashOpcodeSet set = Detect(result);
  EXPECT_EQ(0, result);
  EXPECT_EQ(FlashVendor::Unknown, set.Vendor);
  EXPECT_EQ(0xC7, set.ChipErase);
}

TEST_F(FlashDetectionTest, SpiCommandInSkipsDataPhaseAfterFailedCommand) {
  FailOpcode(0x9F);
  std::uint8_t id[4] = {};
  EXPECT_EQ(0, SpiCommandIn(kPath, 0x9F, id, 4));
  ASSERT_EQ(1u, platform.Commands().size());
  const auto& c = platform.Commands()[0];
  EXPECT_EQ((std::vector<std::uint8_t>{0xFF, 0x04, 0x20, 0x01, 0x01, 0x9F, 0, 0, 0, 0, 0, 0}),
            c.Cdb);
  EXPECT_EQ(1, c.Record.DataIn);
  EXPECT_EQ(0u, c.Record.DataTransferLength);
  EXPECT_EQ(-1, ProbeAmicFlash(kPath));
  EXPECT_EQ(-1, ProbeAtmelFlash(kPath));
}

TEST_F(FlashDetectionTest, AmicAndAtmelPartClasses) {
  const std::pair<std::uint8_t, int> amic[] = {
      {0x12, 1}, {0x11, 3}, {0x20, 4}, {0x10, 5}, {0x13, -1}};
  for (const auto& [last, part] : amic) {
    Answer(0x9F, {0x7F, 0x37, 0x20, last});
    EXPECT_EQ(part, ProbeAmicFlash(kPath));
  }
  Answer(0x9F, {0x7F, 0x37, 0x21, 0x12});
  EXPECT_EQ(-1, ProbeAmicFlash(kPath));
  const std::pair<std::uint8_t, int> atmel[] = {{0x65, 1}, {0x66, 2}, {0x44, 0}};
  for (const auto& [second, part] : atmel) {
    Answer(0x9F, {0x1F, second, 0x01, 0x00});
    EXPECT_EQ(part, ProbeAtmelFlash(kPath));
  }
  Answer(0x9F, {0xEF, 0x65, 0, 0});
  EXPECT_EQ(-1, ProbeAtmelFlash(kPath));
}

// ---- configuration commands ----

TEST_F(IdentificationTest, ConfigurationCommandBlocks) {
  FlashOpcodeSet set{0x60, 0x52, 0xAF, FlashVendor::Sst};
  SetFlashOpcodes(kPath, set);
  SetFlashPageSize(kPath, 32);
  SetFlashOpcodesEx(kPath, {0xC7, 0xD8, 0x02, 0x00, 0x20}, 32);
  std::uint8_t vendor[4];
  GetFlashVendor(kPath, vendor);
  std::uint8_t memory[4];
  ReadChipMemory(kPath, 0x505E, memory, 4);
  ReadConfigBlock(kPath, nullptr, 18);

  const auto& c = platform.Commands();
  ASSERT_EQ(6u, c.size());
  using Bytes = std::vector<std::uint8_t>;
  EXPECT_EQ((Bytes{0xFF, 0x04, 0x24, 0x02, 0x60, 0x52, 0xAF, 0x02, 0x01, 0, 0, 0}), c[0].Cdb);
  EXPECT_EQ(1, c[0].Record.DataIn);
  EXPECT_EQ(2u, c[0].Record.DataTransferLength);
  EXPECT_EQ((Bytes{0xFF, 0x04, 0x25, 0x02, 0x08, 0, 0, 0, 0, 0, 0, 0}), c[1].Cdb);
  EXPECT_EQ(2u, c[1].Record.DataTransferLength);
  EXPECT_EQ((Bytes{0xFF, 0x04, 0x0F, 0xC7, 0xD8, 0x02, 0x20, 0x08, 0, 0, 0, 0}), c[2].Cdb);
  EXPECT_EQ(0, c[2].Record.DataIn);
  EXPECT_EQ(50u, c[2].Record.TimeOutValue);
  EXPECT_EQ((Bytes{0xFF, 0x04, 0x23, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}), c[3].Cdb);
  EXPECT_EQ((Bytes{0xDF, 0x10, 0x00, 0x00, 0x04, 0x00, 0x50, 0x5E, 0, 0, 0, 0xFD}), c[4].Cdb);
  EXPECT_EQ((Bytes{0xFF, 0x04, 0xA0, 0x12, 0, 0, 0, 0, 0, 0, 0, 0}), c[5].Cdb);
  EXPECT_EQ(18u, c[5].Record.DataTransferLength);
  for (const auto& command : c) {
    EXPECT_EQ(12, command.Record.CdbLength);
  }
}

TEST_F(IdentificationTest, VendorByteOutsideTableIsUnknown) {
  script.On({0xFF, 0x04, 0x23}, Reply({static_cast<std::uint8_t>(kFlashVendorCount), 0, 0, 0}));
  std::uint8_t reply[4];
  EXPECT_EQ(1, GetFlashVendor(kPath, reply));
  EXPECT_EQ(0, reply[0]);
  script.On({0xFF, 0x04, 0x23}, Reply({0x09, 0, 0, 0}));
  GetFlashVendor(kPath, reply);
  EXPECT_EQ(9, reply[0]);
}

TEST_F(IdentificationTest, ConfigBlockReturnsLevelOrZero) {
  std::vector<std::uint8_t> block(18, 0);
  block[8] = 0xD0;
  block[16] = 1;
  script.On({0xFF, 0x04, 0xA0}, Reply(block));
  std::uint8_t reply[18];
  int ok = 0;
  EXPECT_EQ(0xD0, ReadConfigBlock(kPath, reply, 18, &ok));
  EXPECT_EQ(1, ok);
  EXPECT_EQ(1, reply[16]);
  script.Fail({0xFF, 0x04, 0xA0});
  EXPECT_EQ(0, ReadConfigBlock(kPath, reply, 18, &ok));
  EXPECT_EQ(0, ok);
}

// The chip-type rows are checked by CheckChipTypeTable (tests/catalog/chip_type_table_test.cpp).
TEST(ChipTablesTest, FlashVendorTableIsConsistent) {
  for (const FlashVendorRow& v : kFlashVendors) {
    EXPECT_LE(v.Name.size(), 19u);
    EXPECT_GT(v.SmallEraseUnit, 0u);
    EXPECT_EQ(0u, v.LargeEraseUnit % v.SmallEraseUnit);
  }
  EXPECT_EQ(0, SafeFlashVendor(kFlashVendorCount));
  EXPECT_EQ(0, SafeFlashVendor(-1));
  EXPECT_EQ(9, SafeFlashVendor(9));
}

}  // namespace
}  // namespace q71x
