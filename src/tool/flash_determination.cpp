// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/tool/flash_determination.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "src/catalog/chip_tables.h"
#include "src/device/discovery.h"
#include "src/device/identification.h"

namespace q71x {
namespace {

constexpr std::uint32_t kJedecIdLength = 4;
constexpr std::uint32_t kSmallPageSize = 32;
constexpr std::array<std::uint8_t, 5> kSmallPageOpcodes = {0xC7, 0xD8, 0x02, 0x00, 0x20};

// An MXIC part with 32-byte pages announces itself as C2 22 followed by 10, 11 or 13.
bool HasSmallPageMxicId(const std::string& path) {
  std::uint8_t id[kJedecIdLength] = {};
  if (SpiCommandIn(path, 0x9F, id, kJedecIdLength) == 0) {
    return false;
  }
  return id[0] == 0xC2 && id[1] == 0x22 && (id[2] == 0x10 || id[2] == 0x11 || id[2] == 0x13);
}

bool HasSstSpiId(const std::string& path) {
  std::uint8_t id[kJedecIdLength] = {};
  return SpiCommandIn(path, 0x9F, id, kJedecIdLength) == 1 && id[0] == 0xBF && id[1] == 0x25;
}

// The vendor the bridge names in its answer; a byte outside the table is "Unknown", never a row
// past its end.
FlashVendor VendorOfReply(const std::uint8_t reply[4]) {
  return ToFlashVendor(reply[0]);
}

class Determination {
 public:
  Determination(const std::string& path, ChipState& state, ProgramSettings& settings)
      : path_(path), state_(state), settings_(settings) {}

  std::string Run() {
    state_.AtmelFlashPart = -1;
    state_.AmicFlashPart = -1;
    const int revision = state_.ChipRevision;
    switch (ChipRow(state_.ChipType).Flash) {
      case FlashProbe::Detection:
        WithOpcodes(true);
        break;
      case FlashProbe::DetectionFromRevision3:
        if (revision >= 3) {
          WithOpcodes(false);
        } else {
          ByProbing();
        }
        break;
      case FlashProbe::VendorQuery:
        ByVendorQuery(false);
        break;
      case FlashProbe::VendorQueryOrDetection:
        ByVendorQuery(true);
        break;
      case FlashProbe::VendorQueryOrDetectionFromRevision5:
        ByVendorQuery(revision >= 5);
        break;
      case FlashProbe::PartProbesOrVendorQueryOn1394:
        if (IsPathOn1394(path_)) {
          ByVendorQuery(false);
        } else {
          ByProbing();
        }
        break;
      case FlashProbe::PartProbes:
      case FlashProbe::None:
        ByProbing();
        break;
    }
    return text_;
  }

 private:
  void TakeVendor(FlashVendor vendor, bool takeEraseUnits) {
    const FlashVendorRow& entry = VendorRow(vendor);
    state_.FlashVendor = entry.Vendor;
    text_ = std::string(entry.Name);
    if (takeEraseUnits) {
      settings_.EraseBlockSize = entry.LargeEraseUnit;
      settings_.EraseSectorSize = entry.SmallEraseUnit;
    }
  }

  // Detection, with the opcodes handed to a bridge that found a vendor; `announcePages` tells the
  // bridge about 32-byte-page MXIC parts as well.
  void WithOpcodes(bool announcePages) {
    FlashOpcodeSet opcodes;
    if (DetectSerialFlash(path_, opcodes) == 1 && opcodes.Vendor != FlashVendor::Unknown) {
      SetFlashOpcodes(path_, opcodes);
    }
    TakeVendor(opcodes.Vendor, false);
    if (announcePages && HasSmallPageMxicId(path_)) {
      SetFlashPageSize(path_, kSmallPageSize);
    }
  }

  // The bridge's own vendor query; with `detectWhenUnknown`, detection for a bridge that knows
  // no vendor, and the MXIC page size and the SST word programming found out.
  void ByVendorQuery(bool detectWhenUnknown) {
    // A query that fails leaves this device's vendor unknown, never the vendor of the device
    // checked before it (whose erase units the procedures would then use).
    std::uint8_t reply[4] = {};
    TakeVendor(GetFlashVendor(path_, reply) == 1 ? VendorOfReply(reply) : FlashVendor::Unknown,
               true);
    if (!detectWhenUnknown) {
      return;
    }
    if (state_.FlashVendor == FlashVendor::Unknown) {
      FlashOpcodeSet opcodes;
      if (DetectSerialFlash(path_, opcodes) == 1) {
        TakeVendor(opcodes.Vendor, true);
      }
    }
    const FlashVendorRow& vendor = VendorRow(state_.FlashVendor);
    if (vendor.SmallPageParts && HasSmallPageMxicId(path_)) {
      SetFlashOpcodesEx(path_, kSmallPageOpcodes, kSmallPageSize);
    }
    if (vendor.WordProgrammingById && HasSstSpiId(path_)) {
      state_.SstSpiFlash = 1;
    }
  }

  void ByProbing() {
    state_.AmicFlashPart = ProbeAmicFlash(path_);
    state_.AtmelFlashPart = ProbeAtmelFlash(path_);
    if (state_.AmicFlashPart != -1) {
      text_ = "AMIC";
      return;
    }
    if (state_.AtmelFlashPart != -1) {
      text_ = "ATMEL";
      return;
    }
    std::uint8_t reply[4] = {};
    if (GetFlashVendor(path_, reply) == 0) {
      TakeVendor(FlashVendor::Unknown, false);  // unknown, not the device checked before
      return;
    }
    if (VendorOfReply(reply) != FlashVendor::Unknown) {
      TakeVendor(VendorOfReply(reply), false);
      return;
    }
    FlashOpcodeSet opcodes;
    if (DetectSerialFlash(path_, opcodes) == 1) {
      TakeVendor(opcodes.Vendor, false);
    }
  }

  const std::string& path_;
  ChipState& state_;
  ProgramSettings& settings_;
  std::string text_;
};

}  // namespace

std::string DetermineSerialFlash(const std::string& devicePath, ChipState& state,
                                 ProgramSettings& settings) {
  return Determination(devicePath, state, settings).Run();
}

}  // namespace q71x
