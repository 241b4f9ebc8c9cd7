// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/serial_flash.h"

#include <algorithm>

namespace q71x::sim {
namespace {

inline constexpr std::uint8_t kOpWriteStatus = 0x01;
inline constexpr std::uint8_t kOpPageProgram = 0x02;
inline constexpr std::uint8_t kOpRead = 0x03;
inline constexpr std::uint8_t kOpWriteDisable = 0x04;
inline constexpr std::uint8_t kOpReadStatus = 0x05;
inline constexpr std::uint8_t kOpWriteEnable = 0x06;
inline constexpr std::uint8_t kOpFastRead = 0x0B;
inline constexpr std::uint8_t kOpLegacyId = 0x15;
inline constexpr std::uint8_t kOpEnableWriteStatus = 0x50;
inline constexpr std::uint8_t kOpReadId = 0x90;
inline constexpr std::uint8_t kOpJedecId = 0x9F;
inline constexpr std::uint8_t kOpSignature = 0xAB;
inline constexpr std::uint8_t kOpAaiWord = 0xAD;
inline constexpr std::uint8_t kOpAaiByte = 0xAF;

inline constexpr std::size_t kAddressBytes = 3;
inline constexpr std::size_t kFirstDataByte = 1 + kAddressBytes;

}  // namespace

SerialFlash::SerialFlash(const SerialFlashPart& part)
    : part_(&part), contents_(part.SizeBytes, 0xFF) {
  PowerOn();
}

void SerialFlash::Load(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  // Addresses wrap at the part's size, as on the bus: copied a run at a time up to the end.
  std::size_t at = address % contents_.size();
  while (!bytes.empty()) {
    const std::size_t run = std::min(bytes.size(), contents_.size() - at);
    std::copy_n(bytes.begin(), run, contents_.begin() + at);
    bytes = bytes.subspan(run);
    at = 0;
  }
}

void SerialFlash::PowerOn() {
  writeEnabled_ = false;
  writeStatusEnabled_ = false;
  aaiActive_ = false;
  busyUntilUs_ = 0;
  // A power cycle resets the part's state machine, so a hung operation is gone too.
  stuckBusy_ = false;
  status_ = part_->PowerOnStatus & part_->ProtectMask;
}

std::uint8_t SerialFlash::Status(std::uint64_t nowUs) const {
  std::uint8_t status = status_;
  if (IsBusy(nowUs)) {
    status |= kStatusBusy;
  }
  if (writeEnabled_) {
    status |= kStatusWriteEnable;
  }
  if (aaiActive_) {
    status |= kStatusAai;
  }
  return status;
}

std::uint32_t SerialFlash::Address(std::span<const std::uint8_t> mosi) const {
  std::uint32_t address = 0;
  for (std::size_t i = 1; i <= kAddressBytes; ++i) {
    address = (address << 8) | (i < mosi.size() ? mosi[i] : 0);
  }
  return address % part_->SizeBytes;
}

void SerialFlash::BeginBusy(std::uint64_t nowUs, std::uint32_t durationUs) {
  busyUntilUs_ = nowUs + durationUs;
}

void SerialFlash::ProgramByte(std::uint32_t address, std::uint8_t value) {
  // NOR cells only go from 1 to 0 when programmed.
  contents_[address % contents_.size()] &= value;
}

void SerialFlash::EraseUnit(std::uint32_t start, std::uint32_t size) {
  const std::uint32_t end = std::min<std::uint32_t>(start + size, part_->SizeBytes);
  std::fill(contents_.begin() + start, contents_.begin() + end, 0xFF);
}

std::vector<std::uint8_t> SerialFlash::Transact(std::span<const std::uint8_t> mosi,
                                                std::uint64_t nowUs) {
  std::vector<std::uint8_t> miso(mosi.size(), 0xFF);
  if (mosi.empty()) {
    return miso;
  }
  const std::uint8_t opcode = mosi[0];
  // ENABLE WRITE STATUS lasts for the very next instruction only.
  const bool writeStatusArmed = writeStatusEnabled_;
  writeStatusEnabled_ = false;
  if (opcode == kOpReadStatus) {
    std::fill(miso.begin() + 1, miso.end(), Status(nowUs));
    return miso;
  }
  // A busy part ignores everything but READ STATUS.
  if (IsBusy(nowUs)) {
    return miso;
  }
  const bool isAaiOpcode =
      (opcode == kOpAaiByte && part_->HasAaiByte) || (opcode == kOpAaiWord && part_->HasAaiWord);
  if (aaiActive_) {
    // During auto-address-increment programming only AAI, WRDI and RDSR are accepted.
    if (opcode == kOpWriteDisable) {
      aaiActive_ = false;
      writeEnabled_ = false;
    } else if (isAaiOpcode) {
      AaiProgram(opcode, mosi, nowUs);
    }
    return miso;
  }
  if (isAaiOpcode) {
    AaiProgram(opcode, mosi, nowUs);
    return miso;
  }
  switch (opcode) {
    case kOpWriteEnable:
      writeEnabled_ = true;
      break;
    case kOpWriteDisable:
      writeEnabled_ = false;
      break;
    case kOpEnableWriteStatus:
      writeStatusEnabled_ = part_->HasEwsr;
      break;
    case kOpWriteStatus:
      if (writeEnabled_ || writeStatusArmed) {
        WriteStatus(mosi, nowUs);
      }
      break;
    case kOpRead:
      ReadArray(mosi, 0, miso);
      break;
    case kOpFastRead:
      ReadArray(mosi, 1, miso);
      break;
    case kOpPageProgram:
      PageProgram(mosi, nowUs);
      break;
    case kOpJedecId:
      DriveId(part_->JedecId, 1, false, miso);
      break;
    case kOpSignature:
      DriveId(part_->SignatureAb, kFirstDataByte, true, miso);
      break;
    case kOpReadId:
      DriveReadId90(mosi, miso);
      break;
    case kOpLegacyId:
      DriveId(part_->LegacyId15, 1, false, miso);
      break;
    default:
      if (part_->FindEraser(opcode) != nullptr) {
        Erase(opcode, mosi, nowUs);
      }
      break;
  }
  return miso;
}

void SerialFlash::WriteStatus(std::span<const std::uint8_t> mosi, std::uint64_t nowUs) {
  if (mosi.size() < 2) {
    return;
  }
  status_ = mosi[1] & part_->ProtectMask;
  writeEnabled_ = false;
  BeginBusy(nowUs, part_->WriteStatusUs);
}

void SerialFlash::Erase(std::uint8_t opcode, std::span<const std::uint8_t> mosi,
                        std::uint64_t nowUs) {
  const EraseOp& op = *part_->FindEraser(opcode);
  const bool wholeChip = op.UnitBytes == 0;
  if (!ChangesAllowed() || (!wholeChip && mosi.size() < kFirstDataByte)) {
    // A refused instruction still spends the latch.
    writeEnabled_ = false;
    return;
  }
  if (wholeChip) {
    EraseUnit(0, part_->SizeBytes);
  } else {
    const std::uint32_t address = Address(mosi);
    std::uint32_t start = address - address % op.UnitBytes;
    std::uint32_t size = op.UnitBytes;
    if (opcode == part_->BootEraseOpcode && address < op.UnitBytes) {
      // The bottom block is split into boot sectors of their own.
      std::uint32_t unitStart = 0;
      for (std::uint32_t unit : part_->BootUnits) {
        if (unit == 0) {
          break;
        }
        if (address < unitStart + unit) {
          start = unitStart;
          size = unit;
          break;
        }
        unitStart += unit;
      }
    }
    EraseUnit(start, size);
  }
  writeEnabled_ = false;
  BeginBusy(nowUs, op.TimeUs);
}

void SerialFlash::PageProgram(std::span<const std::uint8_t> mosi, std::uint64_t nowUs) {
  if (!ChangesAllowed() || mosi.size() <= kFirstDataByte) {
    writeEnabled_ = false;
    return;
  }
  const std::uint32_t address = Address(mosi);
  std::span<const std::uint8_t> data = mosi.subspan(kFirstDataByte);
  const std::uint32_t page = std::max<std::uint32_t>(part_->PageBytes, 1);
  if (page == 1) {
    ProgramByte(address, data[0]);
  } else {
    // More than a page: only the last page's worth of bytes is kept. Within the page the
    // address wraps to the page start.
    if (data.size() > page) {
      data = data.subspan(data.size() - page);
    }
    const std::uint32_t column = address % page;
    const std::uint32_t pageStart = address - column;
    for (std::size_t i = 0; i < data.size(); ++i) {
      ProgramByte(pageStart + static_cast<std::uint32_t>((column + i) % page), data[i]);
    }
  }
  writeEnabled_ = false;
  BeginBusy(nowUs, part_->PageProgramUs);
}

void SerialFlash::AaiProgram(std::uint8_t opcode, std::span<const std::uint8_t> mosi,
                             std::uint64_t nowUs) {
  const std::size_t unit = opcode == kOpAaiWord ? 2 : 1;
  const bool addressed = mosi.size() >= kFirstDataByte + unit;
  std::span<const std::uint8_t> data;
  if (addressed) {
    // Starting a run needs the latch and an unprotected part. While a run is on, a command that
    // carries an address starts the next run there.
    if (!aaiActive_ && !ChangesAllowed()) {
      return;
    }
    aaiAddress_ = Address(mosi);
    if (unit == 2) {
      aaiAddress_ &= ~1u;
    }
    data = mosi.subspan(kFirstDataByte, unit);
  } else {
    // The short form only continues a run.
    if (!aaiActive_ || mosi.size() < 1 + unit) {
      return;
    }
    data = mosi.subspan(1, unit);
  }
  aaiActive_ = true;
  for (std::uint8_t byte : data) {
    ProgramByte(aaiAddress_, byte);
    aaiAddress_ = (aaiAddress_ + 1) % part_->SizeBytes;
  }
  BeginBusy(nowUs, part_->AaiProgramUs);
}

void SerialFlash::ReadArray(std::span<const std::uint8_t> mosi, std::size_t dummyBytes,
                            std::vector<std::uint8_t>& miso) const {
  const std::uint32_t address = Address(mosi);
  const std::size_t first = kFirstDataByte + dummyBytes;
  for (std::size_t i = first; i < miso.size(); ++i) {
    miso[i] = contents_[(address + (i - first)) % contents_.size()];
  }
}

void SerialFlash::DriveId(const IdBytes& id, std::size_t firstByte, bool repeat,
                          std::vector<std::uint8_t>& miso) const {
  if (id.Length == 0) {
    return;
  }
  for (std::size_t i = firstByte; i < miso.size(); ++i) {
    const std::size_t k = i - firstByte;
    if (k < id.Length) {
      miso[i] = id.Bytes[k];
    } else if (repeat) {
      miso[i] = id.Bytes[k % id.Length];
    }
  }
}

void SerialFlash::DriveReadId90(std::span<const std::uint8_t> mosi,
                                std::vector<std::uint8_t>& miso) const {
  const IdBytes& id = part_->ReadId90;
  if (id.Length < 2 || mosi.size() <= kFirstDataByte) {
    return;
  }
  // Address bit 0 chooses whether the maker or the device byte comes first; they alternate.
  const std::size_t swap = mosi[kAddressBytes] & 1u;
  for (std::size_t i = kFirstDataByte; i < miso.size(); ++i) {
    miso[i] = id.Bytes[(i - kFirstDataByte + swap) % 2];
  }
}

std::vector<std::uint8_t> ClockIn(SerialFlash& flash, std::span<const std::uint8_t> command,
                                  std::size_t readLength, std::uint64_t nowUs) {
  std::vector<std::uint8_t> mosi(command.begin(), command.end());
  mosi.resize(command.size() + readLength, 0x00);
  std::vector<std::uint8_t> miso = flash.Transact(mosi, nowUs);
  return std::vector<std::uint8_t>(miso.begin() + static_cast<std::ptrdiff_t>(command.size()),
                                   miso.end());
}

}  // namespace q71x::sim
