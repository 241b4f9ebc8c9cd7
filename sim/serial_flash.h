// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A serial NOR flash as the bus sees it: one chip-select cycle at a time, decoded by opcode.
// Programs only clear bits, erases set whole units to FF, the write-enable latch guards every
// change, block-protect bits refuse erase and program, and the part stays busy until the virtual
// clock has passed its data-sheet time, ignoring everything but READ STATUS meanwhile.

#include <cstdint>
#include <span>
#include <vector>

#include "sim/serial_flash_part.h"

namespace q71x::sim {

inline constexpr std::uint8_t kStatusBusy = 0x01;
inline constexpr std::uint8_t kStatusWriteEnable = 0x02;
inline constexpr std::uint8_t kStatusAai = 0x40;

class SerialFlash {
 public:
  explicit SerialFlash(const SerialFlashPart& part);

  const SerialFlashPart& Part() const { return *part_; }
  const std::vector<std::uint8_t>& Contents() const { return contents_; }
  // Loads bytes as a programmer at the factory would, without NOR rules or timing.
  void Load(std::uint32_t address, std::span<const std::uint8_t> bytes);

  // One chip-select cycle. `mosi` holds every byte the host clocks out (opcode, address, data,
  // and zeros during a read phase); the result holds what the flash drove back, byte for byte.
  std::vector<std::uint8_t> Transact(std::span<const std::uint8_t> mosi, std::uint64_t nowUs);

  std::uint8_t Status(std::uint64_t nowUs) const;
  bool IsBusy(std::uint64_t nowUs) const { return stuckBusy_ || nowUs < busyUntilUs_; }
  std::uint64_t BusyUntilUs() const { return busyUntilUs_; }
  bool StuckBusy() const { return stuckBusy_; }
  void SetStuckBusy(bool stuck) { stuckBusy_ = stuck; }
  bool InAaiMode() const { return aaiActive_; }

  // Power applied again: latches and modes cleared, protect bits as the part powers on.
  void PowerOn();

 private:
  void WriteStatus(std::span<const std::uint8_t> mosi, std::uint64_t nowUs);
  void Erase(std::uint8_t opcode, std::span<const std::uint8_t> mosi, std::uint64_t nowUs);
  void PageProgram(std::span<const std::uint8_t> mosi, std::uint64_t nowUs);
  void AaiProgram(std::uint8_t opcode, std::span<const std::uint8_t> mosi, std::uint64_t nowUs);
  void ReadArray(std::span<const std::uint8_t> mosi, std::size_t dummyBytes,
                 std::vector<std::uint8_t>& miso) const;
  void DriveId(const IdBytes& id, std::size_t firstByte, bool repeat,
               std::vector<std::uint8_t>& miso) const;
  void DriveReadId90(std::span<const std::uint8_t> mosi, std::vector<std::uint8_t>& miso) const;
  void ProgramByte(std::uint32_t address, std::uint8_t value);
  bool ChangesAllowed() const { return writeEnabled_ && (status_ & part_->ProtectMask) == 0; }
  std::uint32_t Address(std::span<const std::uint8_t> mosi) const;
  void BeginBusy(std::uint64_t nowUs, std::uint32_t durationUs);
  void EraseUnit(std::uint32_t start, std::uint32_t size);

  const SerialFlashPart* part_;
  std::vector<std::uint8_t> contents_;
  std::uint8_t status_ = 0;  // protect bits only; busy, latch and AAI are kept apart
  bool writeEnabled_ = false;
  bool writeStatusEnabled_ = false;  // SST: 50 allows the next 01
  bool aaiActive_ = false;
  std::uint32_t aaiAddress_ = 0;
  std::uint64_t busyUntilUs_ = 0;
  bool stuckBusy_ = false;
};

// Clocks out `command` and then `readLength` zeros in one cycle; returns the bytes the flash
// drove during the read phase.
std::vector<std::uint8_t> ClockIn(SerialFlash& flash, std::span<const std::uint8_t> command,
                                  std::size_t readLength, std::uint64_t nowUs);

}  // namespace q71x::sim
