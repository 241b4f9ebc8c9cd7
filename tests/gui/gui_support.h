// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Shared pieces of the window tests: the Qt application (offscreen), hand-stepped window timers,
// scripted bridges that answer identification and flash probes per device path, temporary
// image files, and a fixture that builds the window over all of it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "src/app/fwupdate.h"
#include "src/app/labeled_edit.h"
#include "src/device/platform/platform.h"
#include "src/image/sample_image.h"
#include "tests/support/fake_window_timers.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/scripted_platform.h"
#include "tests/support/temp_folder.h"

namespace q71x::testing {

// A control of the window by its layout name; the test fails at once (GoogleTest reports the
// exception) when the window has no such control.
template <typename W>
W* Child(QWidget& window, const char* name) {
  W* found = window.findChild<W*>(QString::fromLatin1(name));
  if (found == nullptr) {
    throw std::runtime_error(std::string("no control named ") + name);
  }
  return found;
}

inline void EnsureQtApplication() {
  static QApplication* application = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "q71x_tests_gui";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  (void)application;
}

// What one scripted bridge answers. Absent optionals make the command fail.
struct FakeBridge {
  std::string Name = "QVSIM   USB BRIDGE";  // INQUIRY bytes 8-31
  bool InquiryOk = true;
  std::string InquiryCode = "q714";  // INQUIRY bytes 36-39
  std::optional<std::vector<std::uint8_t>> FwInfo;
  std::optional<std::uint32_t> FwInfoTransferred;  // default: the whole request
  std::optional<std::vector<std::uint8_t>> ChipInfo;
  std::map<std::uint8_t, std::vector<std::uint8_t>> SpiReplies;  // by opcode (FF 04 21 reply)
  std::optional<std::uint8_t> FlashVendor;                       // FF 04 23 reply byte 0
  std::optional<std::vector<std::uint8_t>> ConfigBlock;          // FF 04 A0
  std::map<std::uint16_t, std::uint8_t> Memory;                  // controller memory
  bool ToggleByteRefusesClear = false;                           // byte 506A stays set
  bool ChipMemoryReadOk = true;
  bool ModeFlag = false;  // 505E reads 00 00 01 00
};

// A firmware-information reply with the family's signature.
inline std::vector<std::uint8_t> FwInfoReply(const std::string& code, char revisionDigit,
                                             std::uint8_t v6 = 1, std::uint8_t v7 = 16,
                                             std::uint8_t v12 = 1, std::uint8_t v13 = 2,
                                             std::uint8_t v14 = 3) {
  std::vector<std::uint8_t> reply(16, 0);
  reply[0] = 0xF4;
  reply[1] = 0xE7;
  reply[2] = 0x12;
  reply[3] = 0x34;
  reply[4] = 0x56;
  reply[5] = 0x78;
  reply[6] = v6;
  reply[7] = v7;
  for (std::size_t i = 0; i < 3 && i < code.size(); ++i) {
    reply[8 + i] = static_cast<std::uint8_t>(code[i]);
  }
  reply[11] = static_cast<std::uint8_t>(revisionDigit);
  reply[12] = v12;
  reply[13] = v13;
  reply[14] = v14;
  return reply;
}

// Answers every command of every path from a FakeBridge record; commands to unknown paths fail.
class FakeBridges {
 public:
  FakeBridge& operator[](const std::string& path) { return bridges_[path]; }
  void Attach(ScriptedPlatform& platform) {
    platform.SetResponder([this](const RecordedCommand& command) { return Answer(command); });
  }
  // Called before each command is answered (for events that arrive in mid-procedure).
  std::function<void(const RecordedCommand&)> BeforeAnswer;

  ScriptedReply Answer(const RecordedCommand& command) {
    if (BeforeAnswer) {
      BeforeAnswer(command);
    }
    auto found = bridges_.find(command.Path);
    if (found == bridges_.end() || command.Cdb.empty()) {
      return Fail();
    }
    FakeBridge& bridge = found->second;
    const auto& cdb = command.Cdb;
    switch (cdb[0]) {
      case 0x12:
        return bridge.InquiryOk ? Data(InquiryReply(bridge)) : Fail();
      case 0xE0:
        if (!bridge.FwInfo) {
          return Fail();
        }
        return ScriptedReply{true, 0, *bridge.FwInfo,
                             bridge.FwInfoTransferred ? *bridge.FwInfoTransferred : -1};
      case 0xDF:
        return AnswerDf(bridge, command);
      case 0xFF:
        return AnswerFf04(bridge, command);
      default:
        return Fail();
    }
  }

 private:
  static ScriptedReply Fail() { return ScriptedReply{false, 1117, {}, 0}; }
  static ScriptedReply Data(std::vector<std::uint8_t> data) {
    return ScriptedReply{true, 0, std::move(data), -1};
  }

  static std::vector<std::uint8_t> InquiryReply(const FakeBridge& bridge) {
    std::vector<std::uint8_t> reply(40, 0);
    for (std::size_t i = 0; i < 24 && i < bridge.Name.size(); ++i) {
      reply[8 + i] = static_cast<std::uint8_t>(bridge.Name[i]);
    }
    for (std::size_t i = 0; i < 4 && i < bridge.InquiryCode.size(); ++i) {
      reply[36 + i] = static_cast<std::uint8_t>(bridge.InquiryCode[i]);
    }
    return reply;
  }

  ScriptedReply AnswerDf(FakeBridge& bridge, const RecordedCommand& command) {
    const auto& cdb = command.Cdb;
    const std::uint16_t length = static_cast<std::uint16_t>((cdb[3] << 8) | cdb[4]);
    const std::uint16_t address = static_cast<std::uint16_t>((cdb[6] << 8) | cdb[7]);
    if (cdb[11] == 0xFF) {  // chip-id probe
      return Data({0x00, 0x00});
    }
    if (cdb[11] == 0xFD) {  // controller memory read
      if (!bridge.ChipMemoryReadOk) {
        return Fail();
      }
      std::vector<std::uint8_t> data(length, 0);
      for (std::uint16_t i = 0; i < length; ++i) {
        const std::uint16_t at = static_cast<std::uint16_t>(address + i);
        if (bridge.ModeFlag && at == 0x505F) {
          data[i] = 0x00;
        } else if (bridge.ModeFlag && at == 0x5060) {
          data[i] = 0x01;
        } else {
          data[i] = bridge.Memory[at];
        }
      }
      return Data(data);
    }
    if (cdb[11] == 0xFE && cdb[1] == 0x00) {  // controller memory write
      for (std::uint16_t i = 0; i < length && i < command.DataOut.size(); ++i) {
        const std::uint16_t at = static_cast<std::uint16_t>(address + i);
        if (at == 0x506A && bridge.ToggleByteRefusesClear && command.DataOut[i] == 0) {
          continue;
        }
        bridge.Memory[at] = command.DataOut[i];
      }
      return ScriptedReply{};
    }
    return Fail();
  }

  ScriptedReply AnswerFf04(FakeBridge& bridge, const RecordedCommand& command) {
    const auto& cdb = command.Cdb;
    if (cdb.size() < 3 || cdb[1] != 0x04) {
      return Fail();
    }
    switch (cdb[2]) {
      case 0x20:
        lastSpiOpcode_[command.Path] = cdb[5];
        return bridge.SpiReplies.count(cdb[5]) != 0 ? ScriptedReply{} : Fail();
      case 0x21: {
        auto reply = bridge.SpiReplies.find(lastSpiOpcode_[command.Path]);
        return reply != bridge.SpiReplies.end() ? Data(reply->second) : Fail();
      }
      case 0x23:
        return bridge.FlashVendor ? Data({*bridge.FlashVendor, 0, 0, 0}) : Fail();
      case 0x30:
        return bridge.ChipInfo ? Data(*bridge.ChipInfo) : Fail();
      case 0xA0:
        return bridge.ConfigBlock ? Data(*bridge.ConfigBlock) : Fail();
      case 0x15:
        return Fail();
      default:
        return ScriptedReply{};  // settings and session commands are accepted
    }
  }

  std::map<std::string, FakeBridge> bridges_;
  std::map<std::string, std::uint8_t> lastSpiOpcode_;
};

// A scripted platform with a hot-plug source the test drives.
class HotPlugPlatform final : public ScriptedPlatform {
 public:
  void SetDeviceChangeListener(DeviceChangeListener listener) override {
    listener_ = std::move(listener);
  }
  bool HasListener() const { return static_cast<bool>(listener_); }
  void Notify(DeviceChange change) {
    if (listener_) {
      listener_(change);
    }
  }

 private:
  DeviceChangeListener listener_;
};

inline constexpr const char* kUsbPath = "\\\\?\\usbstor#disk&ven_qv#1&0#{53f56307}";
inline constexpr const char* kSecondUsbPath = "\\\\?\\usbstor#disk&ven_qv#2&0#{53f56307}";
inline constexpr const char* k1394Path = "\\\\?\\sbp2#disk&ven_qv#3&0#{53f56307}";
inline constexpr const char* kCdromPath = "\\\\?\\usbstor#cdrom&ven_qv#4&0#{53f56308}";

// A window over a scripted platform, with hand-stepped timers and recording dialogs.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    bridges.Attach(platform);
  }
  void TearDown() override { window.reset(); }

  TQ71xFwTool& MakeWindow() {
    auto fake = std::make_unique<FakeWindowTimers>();
    timers = fake.get();
    window = std::make_unique<TQ71xFwTool>(std::move(fake));
    return *window;
  }
  // One disk-class USB bridge identified as "QV40714 Series" revision 1 with an ATMEL flash.
  FakeBridge& AddQv40714(const std::string& path = kUsbPath) {
    FakeBridge& bridge = bridges[path];
    bridge.InquiryCode = "q714";
    bridge.FwInfo = FwInfoReply("714", '1', 2, 5);
    bridge.FwInfoTransferred = 12;
    bridge.SpiReplies[0x9F] = {0x1F, 0x65, 0x01, 0x00};
    diskPaths.push_back(path);
    platform.SetInterfaces(InterfaceClass::Disk, diskPaths);
    return bridge;
  }
  FakeBridge& AddBridge(const std::string& path, const std::string& inquiryCode) {
    FakeBridge& bridge = bridges[path];
    bridge.InquiryCode = inquiryCode;
    diskPaths.push_back(path);
    platform.SetInterfaces(InterfaceClass::Disk, diskPaths);
    return bridge;
  }
  void Tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton); }
  void ShowRdPanel() {
    if (!Child<QCheckBox>(*window, "RdCheckBox")->isChecked()) {
      Tick(Child<QCheckBox>(*window, "RdCheckBox"));
    }
  }
  int CommandsStartingWith(std::vector<std::uint8_t> prefix) const {
    return static_cast<int>(
        std::count_if(platform.Commands().begin(), platform.Commands().end(), [&](auto& c) {
          return c.Cdb.size() >= prefix.size() &&
                 std::equal(prefix.begin(), prefix.end(), c.Cdb.begin());
        }));
  }

  HotPlugPlatform platform;
  ScopedActivePlatform usePlatform{platform};
  RecordingDialogs dialogs;
  FakeBridges bridges;
  std::vector<std::string> diskPaths;
  FakeWindowTimers* timers = nullptr;
  std::unique_ptr<TQ71xFwTool> window;
};

}  // namespace q71x::testing
