// SPDX-License-Identifier: GPL-2.0-or-later
// Raw serial-flash programming against simulated flash parts: the simulator decodes the raw
// channel and programs its own NOR model, so what counts is what the flash holds afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/chip_personalities.h"
#include "sim/serial_flash.h"
#include "sim/serial_flash_parts.h"
#include "sim/simulated_system.h"
#include "src/device/platform/sim/sim_platform.h"
#include "src/device/raw_flash_programming.h"

namespace q71x {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes with no FF in them, so an unprogrammed byte shows.
Bytes Pattern(std::size_t length, std::uint32_t seed) {
  Bytes out(length);
  std::uint32_t state = seed;
  for (auto& b : out) {
    state = state * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>((state >> 16) % 0xFF);
  }
  return out;
}

class RawProgrammingSimTest : public ::testing::Test {
 protected:
  // A chip type 10 bridge, the only one programmed this way, with `part` on its flash bus.
  sim::SerialFlash& Fit(const char* part) {
    const sim::SerialFlashPart* flashPart = sim::FindSerialFlashPart(part);
    EXPECT_NE(nullptr, flashPart) << part;
    sim::Enclosure enclosure;
    enclosure.Path = sim::MakeEnclosurePath(sim::Bus::Usb, sim::InterfaceKind::Disk, part);
    enclosure.Bridge = sim::BridgeState(*sim::MakeChipPersonality(10, sim::IdentifyRoute::Inquiry));
    enclosure.Bridge.Flash = std::make_unique<sim::SerialFlash>(*flashPart);
    sim::Enclosure& added = system.AddEnclosure(std::move(enclosure));
    path = added.Path;
    return *added.Bridge.Flash;
  }

  Bytes FlashBytes(const sim::SerialFlash& flash, std::uint32_t address, std::size_t length) {
    const auto& contents = flash.Contents();
    return Bytes(contents.begin() + address, contents.begin() + address + length);
  }

  sim::SimulatedSystem system;
  SimPlatform platform{system};
  ScopedActivePlatform scope{platform};
  std::string path;
};

TEST_F(RawProgrammingSimTest, SixtyFourKilobytesReadBackEqualOnEveryMethod) {
  struct Case {
    const char* Part;
    FlashVendor Vendor;
    int SstWordMode;
  };
  const Case cases[] = {
      {"W25X10", FlashVendor::Winbond, 0},     // 256-byte pages
      {"MX25V512-P32", FlashVendor::Mxic, 0},  // 32-byte pages
      {"SST25VF016B", FlashVendor::Sst, 1},    // auto-increment words, powers on protected
      {"SST25VF512A", FlashVendor::Sst, 0},    // auto-increment bytes, powers on protected
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Part);
    sim::SerialFlash& flash = Fit(test.Part);
    const Bytes image = Pattern(65536, RowNumber(test.Vendor));
    ASSERT_EQ(1, ProgramSerialFlash(path, 0, image.data(), 65536, test.Vendor, test.SstWordMode));
    EXPECT_TRUE(FlashBytes(flash, 0, 65536) == image);
  }
}

TEST_F(RawProgrammingSimTest, WrongPageSizeForTheFlashDoesNotReadBackEqual) {
  // The method table is what keeps a 32-byte-page part from wrapping its page programs.
  sim::SerialFlash& flash = Fit("MX25V512-P32");
  const Bytes image = Pattern(8192, 3);
  ASSERT_EQ(1, ProgramSerialFlash(path, 0, image.data(), 8192, FlashVendor::Winbond, 0));
  EXPECT_FALSE(FlashBytes(flash, 0, 8192) == image);
}

TEST_F(RawProgrammingSimTest, ShortTailsAreProgrammedAndNothingBeyondThem) {
  struct Case {
    const char* Part;
    FlashVendor Vendor;
    int SstWordMode;
    std::uint32_t Address;
    std::uint32_t Length;
  };
  const Case cases[] = {
      {"W25X10", FlashVendor::Winbond, 0, 0x10000, 8192 + 100},
      {"MX25V512-P32", FlashVendor::Mxic, 0, 0x4000, 8192 + 17},
      {"SST25VF016B", FlashVendor::Sst, 1, 0x4000, 4096 + 1},  // the last word is padded with FF
      {"SST25VF512A", FlashVendor::Sst, 0, 0x2000, 512 + 3},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.Part);
    sim::SerialFlash& flash = Fit(test.Part);
    // The byte after the data holds something already; programming must leave it as it is.
    const std::uint8_t after[1] = {0x5A};
    flash.Load(test.Address + test.Length, after);
    const Bytes image = Pattern(test.Length, test.Length);
    ASSERT_EQ(1, ProgramSerialFlash(path, test.Address, image.data(), test.Length, test.Vendor,
                                    test.SstWordMode));
    EXPECT_TRUE(FlashBytes(flash, test.Address, test.Length) == image);
    EXPECT_EQ(0x5A, flash.Contents()[test.Address + test.Length]);
    EXPECT_EQ(0xFF, flash.Contents()[test.Address - 1]);
  }
}

}  // namespace
}  // namespace q71x
