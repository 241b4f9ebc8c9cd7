// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Transfers cut to what the system carries. The system refuses a pass-through request whose data
// phase is larger than its limit for the device (Linux without root: the queue's hardware limit,
// 120 KB on usual USB storage) before anything reaches the bridge. Commands that name where
// their data goes are therefore sent in pieces that each name their own address; a command that
// names none cannot be cut, and its procedure must check it fits before it erases anything.

#include <cstdint>
#include <functional>
#include <string>

namespace q71x {

// What the system reports for the device: the largest data phase of one request, 0 when it does
// not say.
std::uint32_t SystemTransferLimit(const std::string& devicePath);

// Whether a transfer of `bytes` that cannot be cut fits the reported limit (an unreported limit
// is taken as fitting: nothing better is known before the device is asked).
bool TransferFitsSystem(const std::string& devicePath, std::uint32_t bytes);

// Sends the piece [offset, offset + length) of a transfer; 1 when it succeeded.
using TransferPiece = std::function<int(std::uint32_t offset, std::uint32_t length)>;

// Runs `send` over [0, total) in pieces of at most the reported limit, each a whole number of
// `granule` bytes except possibly the last, stopping at the first failure. A transfer that fits
// (or a limit not reported) goes as one piece, a zero-length one included. 1 when every piece
// succeeded; 0 without sending anything when the limit is below one granule.
int TransferInPieces(const std::string& devicePath, std::uint32_t total, std::uint32_t granule,
                     const TransferPiece& send);

}  // namespace q71x
