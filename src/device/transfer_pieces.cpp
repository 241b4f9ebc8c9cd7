// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/transfer_pieces.h"

#include <algorithm>

#include "src/device/platform/platform.h"

namespace q71x {

std::uint32_t SystemTransferLimit(const std::string& devicePath) {
  return ActivePlatform().MaxTransferBytes(devicePath);
}

bool TransferFitsSystem(const std::string& devicePath, std::uint32_t bytes) {
  const std::uint32_t limit = SystemTransferLimit(devicePath);
  return limit == 0 || bytes <= limit;
}

int TransferInPieces(const std::string& devicePath, std::uint32_t total, std::uint32_t granule,
                     const TransferPiece& send) {
  const std::uint32_t limit = SystemTransferLimit(devicePath);
  if (limit == 0 || total <= limit) {
    return send(0, total);
  }
  const std::uint32_t unit = std::max<std::uint32_t>(granule, 1);
  const std::uint32_t piece = limit / unit * unit;
  if (piece == 0) {
    ActivePlatform().DebugOutput("The system carries at most " + std::to_string(limit) +
                                 " bytes per command to " + devicePath +
                                 ", less than one unit of " + std::to_string(unit) +
                                 " bytes; nothing was sent.\n");
    return 0;
  }
  for (std::uint32_t offset = 0; offset < total; offset += piece) {
    if (send(offset, std::min(piece, total - offset)) == 0) {
      return 0;
    }
  }
  return 1;
}

}  // namespace q71x
