// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/parallel_flash_commands.h"

#include <array>
#include <cstddef>

#include "src/catalog/parallel_part_table.h"
#include "src/device/command_fields.h"
#include "src/device/transfer_pieces.h"
#include "src/device/transport.h"

namespace q71x {
namespace {

constexpr std::uint8_t kBusy = 0x00;
constexpr std::uint8_t kStart = 0x01;
constexpr std::uint8_t kProgram = 0x02;
constexpr std::uint8_t kRead = 0x03;
constexpr std::uint8_t kErase = 0x04;
constexpr std::uint8_t kEnable = 0x05;
// Reads longer than the system carries go in pieces of whole sectors, each with its address.
constexpr std::uint32_t kReadPieceGranule = 4096;

// One write of a JEDEC software command: to the first or the second unlock address.
enum class Unlock { First, Second };
struct SequenceStep {
  Unlock Address;
  std::uint8_t Data;
};

constexpr std::array<SequenceStep, 3> kByteProgram{{
    {Unlock::First, 0xAA},
    {Unlock::Second, 0x55},
    {Unlock::First, 0xA0},
}};
constexpr std::array<SequenceStep, 6> kChipErase{{
    {Unlock::First, 0xAA},
    {Unlock::Second, 0x55},
    {Unlock::First, 0x80},
    {Unlock::First, 0xAA},
    {Unlock::Second, 0x55},
    {Unlock::First, 0x10},
}};

// The bridge's layout: all N addresses (each low byte first), then the N data bytes.
template <std::size_t N>
std::array<std::uint8_t, 3 * N> EncodeSequence(const std::array<SequenceStep, N>& steps, int part) {
  std::array<std::uint8_t, 3 * N> bytes{};
  // No part chosen: a sequence of zeros, which no part obeys.
  const ParallelPartRow* row = ParallelPartOfItem(part);
  if (row == nullptr) {
    return bytes;
  }
  for (std::size_t i = 0; i < N; ++i) {
    const std::uint16_t address =
        steps[i].Address == Unlock::First ? row->FirstUnlock : row->SecondUnlock;
    PutLittleEndian(&bytes[2 * i], address, 2);
    bytes[2 * N + i] = steps[i].Data;
  }
  return bytes;
}

}  // namespace

int ParallelFlashEnable(const std::string& devicePath) {
  return PassThroughOut(devicePath, Ff04Block(kEnable), nullptr, 0);
}

int ParallelFlashStart(const std::string& devicePath) {
  return PassThroughOut(devicePath, Ff04Block(kStart), nullptr, 0);
}

int ParallelFlashBusy(const std::string& devicePath) {
  std::uint8_t state = 0;
  if (PassThroughIn(devicePath, Ff04Block(kBusy), &state, 1) == 0) {
    return 1;
  }
  return state == 0x01 ? 1 : 0;
}

int ReadParallelFlash(const std::string& devicePath, std::uint32_t address, std::uint8_t* buffer,
                      std::uint32_t length) {
  return TransferInPieces(devicePath, length, kReadPieceGranule,
                          [&](std::uint32_t offset, std::uint32_t piece) {
                            CommandBlock cdb = Ff04Block(kRead);
                            PutLittleEndian(&cdb[3], address + offset, 4);
                            return PassThroughIn(devicePath, cdb, buffer + offset, piece);
                          });
}

int ProgramParallelFlash(const std::string& devicePath, const std::uint8_t* buffer,
                         std::uint32_t length, int part) {
  CommandBlock cdb = Ff04Block(kProgram);
  const auto sequence = EncodeSequence(kByteProgram, part);
  for (std::size_t i = 0; i < sequence.size(); ++i) {
    cdb[3 + i] = sequence[i];
  }
  return PassThroughOut(devicePath, cdb, buffer, length);
}

int EraseParallelFlash(const std::string& devicePath, int part) {
  const auto sequence = EncodeSequence(kChipErase, part);
  return PassThroughOut(devicePath, Ff04Block(kErase), sequence.data(),
                        static_cast<std::uint32_t>(sequence.size()));
}

}  // namespace q71x
