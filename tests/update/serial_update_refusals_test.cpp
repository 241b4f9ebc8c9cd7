// SPDX-License-Identifier: GPL-2.0-or-later
// Image files none of the serial-flash procedures may act on: each is refused before anything is
// erased, whichever procedure the chip type leads to.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "src/update/serial/dual_path_update.h"
#include "src/update/serial/nvram_flash_update.h"
#include "src/update/serial/serial_flash_update.h"
#include "tests/support/test_fifo.h"
#include "tests/update/serial_flash_rig.h"

namespace q71x::testing {
namespace {

struct Procedure {
  const char* Name;
  int (*Run)(ToolWindow&, const std::string&);
  SerialDevice (*Device)();
};

struct Refusal {
  const char* Name;
  std::function<void(SerialFlashRig&)> Arrange;
  const char* Text;
};

constexpr Procedure kProcedures[] = {
    {"UpdateSerialFlash", UpdateSerialFlash, Qv40714Winbond},
    {"UpdateFlashWithNvram", UpdateFlashWithNvram, Qvk842Eon},
    {"UpdateSerialFlashSpi", UpdateSerialFlashSpi, Qvn962Mxic32},
};

TEST(SerialFlashProcedures, RefuseImagesTheyCannotProgramBeforeErasingAnything) {
  const std::vector<Refusal> refusals = {
      // Programmed as nothing (or as zeros), it used to be reported as a success.
      {"empty file", [](SerialFlashRig& rig) { WriteFileBytes(rig.window.firmwareFile, {}); },
       "Firmware file is empty (0 bytes), nothing erased!"},
      // The field cannot hold the name; a cut name would open some other file.
      {"name of 260 characters",
       [](SerialFlashRig& rig) {
         rig.WriteImage(16384);
         const std::string name = rig.dir.File("");
         rig.window.firmwareFile = name + std::string(260 - name.size(), 'n');
         WriteFileBytes(rig.window.firmwareFile, rig.oldFlash);
       },
       "Firmware file name too long!"},
      // Its blocks would wrap onto address 0 of the 24-bit flash address.
      {"file beyond the flash address range",
       [](SerialFlashRig& rig) {
         rig.WriteImage(16384);
         std::filesystem::resize_file(rig.window.firmwareFile, 0x1000001);
       },
       "Firmware file too large for the flash address range, nothing erased!"},
  };
  for (const Procedure& procedure : kProcedures) {
    for (const Refusal& refusal : refusals) {
      SCOPED_TRACE(std::string(procedure.Name) + ": " + refusal.Name);
      SerialFlashRig rig(procedure.Device());
      refusal.Arrange(rig);

      EXPECT_EQ(0, procedure.Run(rig.window, rig.path));

      EXPECT_EQ(refusal.Text, rig.window.StatusText());
      EXPECT_EQ(rig.oldFlash, rig.Flash());
      EXPECT_TRUE(rig.EraseAddresses().empty());
      EXPECT_TRUE(rig.Ff04Commands(0x13).empty());
      EXPECT_TRUE(rig.dialogs.Boxes().empty());
    }
  }
}

// Opening a FIFO waits for a writer: named as the image, it would hold the window forever.
TEST(SerialFlashProcedures, AFifoNamedAsTheImageIsRefusedWithoutWaitingOnIt) {
  for (const Procedure& procedure : kProcedures) {
    SCOPED_TRACE(procedure.Name);
    SerialFlashRig rig(procedure.Device());
    const TestFifo fifo(rig.window.firmwareFile);
    if (!fifo.Made()) {
      GTEST_SKIP() << "no FIFOs on this system";
    }
    int result = -1;

    EXPECT_TRUE(fifo.ReturnsWithin(std::chrono::seconds(3),
                                   [&] { result = procedure.Run(rig.window, rig.path); }));

    EXPECT_EQ(0, result);
    EXPECT_EQ("Open File Error!!", rig.window.StatusText());
    EXPECT_EQ(rig.oldFlash, rig.Flash());
    EXPECT_TRUE(rig.EraseAddresses().empty());
  }
}

// A file that gives fewer bytes than it measured at open, as one does that shrinks after the
// procedure opened it, or whose read fails on a share or a removable disk. The kernel's attribute
// files are such files: they measure a page and hold a line.
std::string FileShorterThanItsLength() {
  for (const char* candidate :
       {"/sys/devices/system/cpu/online", "/sys/kernel/mm/transparent_hugepage/enabled"}) {
    std::ifstream in(candidate, std::ios::binary);
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (length > 0 && length <= 32768 && static_cast<std::size_t>(length) > text.size()) {
      return candidate;
    }
  }
  return {};
}

TEST(SerialFlashProcedures, ImageThatReadsShortIsRefusedBeforeErasingAnything) {
  const std::string shortFile = FileShorterThanItsLength();
  if (shortFile.empty()) {
    GTEST_SKIP() << "no file here measures more bytes than it gives";
  }
  const Procedure procedures[] = {
      {"UpdateSerialFlash", UpdateSerialFlash, Qv40714Winbond},
      {"UpdateFlashWithNvram", UpdateFlashWithNvram, Qvk842Eon},
      {"UpdateSerialFlashSpi", UpdateSerialFlashSpi, Qvn962Mxic32},
  };
  for (const Procedure& procedure : procedures) {
    SCOPED_TRACE(procedure.Name);
    SerialFlashRig rig(procedure.Device());
    rig.window.firmwareFile = shortFile;

    EXPECT_EQ(0, procedure.Run(rig.window, rig.path));

    // Programmed, the missing bytes would be zeros verified against the same zeros.
    EXPECT_EQ("Open File Error!!", rig.window.StatusText());
    EXPECT_EQ(rig.oldFlash, rig.Flash());
    EXPECT_TRUE(rig.EraseAddresses().empty());
    EXPECT_TRUE(rig.Ff04Commands(0x13).empty());
    EXPECT_TRUE(rig.dialogs.Boxes().empty());
  }
}

}  // namespace
}  // namespace q71x::testing
