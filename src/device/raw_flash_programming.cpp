// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/raw_flash_programming.h"

#include <algorithm>

#include "src/catalog/flash_vendor_table.h"
#include "src/device/flash_commands.h"
#include "src/device/flash_waits.h"
#include "src/device/platform/platform.h"

namespace q71x {
namespace {

constexpr std::uint32_t kCommandGapMs = 10;
constexpr std::uint8_t kOpWriteEnable = 0x06;
constexpr std::uint8_t kOpWriteStatus = 0x01;
constexpr std::uint8_t kOpEnableWriteStatus = 0x50;
constexpr std::uint8_t kOpPageProgram = 0x02;
constexpr std::uint8_t kOpSstByteProgram = 0xAF;
constexpr std::uint8_t kOpSstWordProgram = 0xAD;
// The word program restates its address only at these boundaries; elsewhere the flash carries
// on from where the previous run stopped.
constexpr std::uint32_t kSstWordAddressedBoundary = 0x4000;
constexpr std::uint8_t kErasedByte = 0xFF;

void Pause() {
  ActivePlatform().SleepMs(kCommandGapMs);
}

std::uint8_t AddressByte(std::uint32_t address, int shift) {
  return static_cast<std::uint8_t>(address >> shift);
}

// An opcode with a 24-bit address, followed by a data phase.
SpiDescriptor AddressedWithData(std::uint8_t opcode, std::uint32_t address) {
  return {0x04,
          0x01,
          opcode,
          AddressByte(address, 16),
          AddressByte(address, 8),
          AddressByte(address, 0)};
}

// A command whose data phase follows at once; 0 when either part fails.
int CommandWithData(const std::string& devicePath, const SpiDescriptor& descriptor,
                    const std::uint8_t* data, std::uint32_t length) {
  if (SpiCommandOut(devicePath, descriptor) == 0) {
    return 0;
  }
  return SpiDataOut(devicePath, data, length);
}

// Runs `programRun(offset, runLength)` over [0, length) in runs of `unit` bytes, the last one
// possibly shorter. 1 when every run succeeded.
template <typename ProgramRun>
int ForEachRun(std::uint32_t length, std::uint32_t unit, ProgramRun programRun) {
  if (length == 0 || unit == 0) {
    return 0;
  }
  for (std::uint32_t offset = 0; offset < length; offset += std::min(unit, length - offset)) {
    if (programRun(offset, std::min(unit, length - offset)) == 0) {
      return 0;
    }
  }
  return 1;
}

int ProgramWithMethod(const RawProgramMethodRow& row, const std::string& devicePath,
                      std::uint32_t address, const std::uint8_t* data, std::uint32_t length) {
  switch (row.Method) {
    case RawProgramMethod::SstWords:
      return SstProgramWords(devicePath, address, data, length, row.Unit);
    case RawProgramMethod::SstBytes:
      return SstProgramBytes(devicePath, address, data, length, row.Unit);
    case RawProgramMethod::SpiPages:
      break;
  }
  return ProgramSpiPages(devicePath, address, data, length, row.Unit);
}

}  // namespace

RawProgramMethodRow SelectRawProgramMethod(FlashVendor flashVendor, int sstWordMode) {
  const FlashVendorRow& vendor = VendorRow(flashVendor);
  if (vendor.Programming == RawProgramming::SpiPages) {
    return {RawProgramMethod::SpiPages, vendor.ProgramUnit};
  }
  return {sstWordMode != 0 ? RawProgramMethod::SstWords : RawProgramMethod::SstBytes,
          vendor.ProgramUnit};
}

int ProgramSerialFlash(const std::string& devicePath, std::uint32_t address,
                       const std::uint8_t* data, std::uint32_t length, FlashVendor flashVendor,
                       int sstWordMode) {
  if (length == 0) {
    return 0;
  }
  const RawProgramMethodRow method = SelectRawProgramMethod(flashVendor, sstWordMode);
  for (std::uint32_t offset = 0; offset < length;) {
    const std::uint32_t chunk = std::min(kRawProgramChunk, length - offset);
    // Only the bridge's status reads tell that the flash finished the previous chunk; a flash
    // still busy after the wait is programmed anyway and the caller's read-back judges.
    WaitFlashReady(devicePath);
    if (ProgramWithMethod(method, devicePath, address + offset, data + offset, chunk) == 0) {
      return 0;
    }
    offset += chunk;
    Pause();
  }
  return 1;
}

int ProgramSpiPages(const std::string& devicePath, std::uint32_t address, const std::uint8_t* data,
                    std::uint32_t length, std::uint32_t pageSize) {
  return ForEachRun(length, pageSize, [&](std::uint32_t offset, std::uint32_t pageLength) {
    Pause();
    // The bridge's answer to the write enable is not trusted either way; the page program's
    // own answer decides.
    SpiCommandOut(devicePath, {0x01, 0x00, kOpWriteEnable});
    Pause();
    return CommandWithData(devicePath, AddressedWithData(kOpPageProgram, address + offset),
                           data + offset, pageLength);
  });
}

int SstUnprotect(const std::string& devicePath) {
  static constexpr std::uint8_t kUnprotectedStatus[2] = {0x00, 0x00};
  SpiCommandOut(devicePath, {0x01, 0x00, kOpEnableWriteStatus});
  SpiCommandOut(devicePath, {0x01, 0x01, kOpWriteStatus});
  SpiDataOut(devicePath, kUnprotectedStatus, sizeof kUnprotectedStatus);
  Pause();
  const int result = SpiCommandOut(devicePath, {0x01, 0x00, kOpWriteEnable});
  Pause();
  return result;
}

int SstProgramBytes(const std::string& devicePath, std::uint32_t address, const std::uint8_t* data,
                    std::uint32_t length, std::uint32_t runLength) {
  return ForEachRun(length, runLength, [&](std::uint32_t offset, std::uint32_t run) {
    SstUnprotect(devicePath);
    const std::uint8_t first[2] = {data[offset], 0x00};
    if (CommandWithData(devicePath, AddressedWithData(kOpSstByteProgram, address + offset), first,
                        sizeof first) == 0) {
      return 0;
    }
    // A byte lost in the middle of a run would shift every later byte of it, so the first
    // failure ends the run.
    for (std::uint32_t j = 1; j < run; ++j) {
      if (SpiCommandOut(devicePath, {0x02, 0x00, kOpSstByteProgram, data[offset + j]}) == 0) {
        return 0;
      }
    }
    return 1;
  });
}

int SstProgramWords(const std::string& devicePath, std::uint32_t address, const std::uint8_t* data,
                    std::uint32_t length, std::uint32_t runLength) {
  if (runLength % 2 != 0) {
    return 0;  // an odd run would leave every later run off the word grid
  }
  // The second byte of a word past the end of the data is programmed as FF: it cannot clear a
  // bit, so the flash byte there stays as it was.
  auto byteAt = [&](std::uint32_t index) { return index < length ? data[index] : kErasedByte; };
  return ForEachRun(length, runLength, [&](std::uint32_t offset, std::uint32_t run) {
    SstUnprotect(devicePath);
    const std::uint32_t runAddress = address + offset;
    const SpiDescriptor start = runAddress % kSstWordAddressedBoundary == 0
                                    ? AddressedWithData(kOpSstWordProgram, runAddress)
                                    : SpiDescriptor{0x01, 0x01, kOpSstWordProgram};
    const std::uint8_t first[2] = {byteAt(offset), byteAt(offset + 1)};
    if (CommandWithData(devicePath, start, first, sizeof first) == 0) {
      return 0;
    }
    for (std::uint32_t j = 2; j < run; j += 2) {
      const SpiDescriptor word{0x03, 0x00, kOpSstWordProgram, byteAt(offset + j),
                               byteAt(offset + j + 1)};
      if (SpiCommandOut(devicePath, word) == 0) {
        return 0;
      }
    }
    return 1;
  });
}

}  // namespace q71x
