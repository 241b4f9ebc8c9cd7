// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The DF family's flash and controller-memory transfers: the bridge runs the flash cycles itself
// for address-tagged blocks. Lengths travel in a 16-bit field, so a transfer longer than 65535
// bytes is refused (0) before anything is sent: the field could not describe it.

#include <cstdint>
#include <string>

namespace q71x {

inline constexpr std::uint32_t kMaxDfTransfer = 0xFFFF;

// DF 10 00 L1 L0 00 00 00 A2 A1 A0 FA, data in; in pieces the system carries. The writes are
// never cut: a marked block erases its unit first, and a piece would need a mark of its own.
int ReadFlashDF(const std::string& devicePath, std::uint32_t address, std::uint8_t* buffer,
                std::uint32_t length);
// DF MM 00 L1 L0 00 00 00 A2 A1 A0 FB, data out, MM = mode AND 87 (erase unit and the MXIC bit).
// Mode 03 (whole-flash erase) gets the long time-out from its block bytes.
int WriteFlashDF(const std::string& devicePath, std::uint32_t address, const std::uint8_t* buffer,
                 std::uint32_t length, std::uint8_t mode);
// As WriteFlashDF for the second DF chip family, whose mode byte is only an erase flag (01/00).
int WriteFlashDF2(const std::string& devicePath, std::uint32_t address, const std::uint8_t* buffer,
                  std::uint32_t length, bool eraseFirst);
// DF 00 00 L1 L0 00 A1 A0 00 00 00 FE, data out, 16-bit controller address.
int WriteChipMemory(const std::string& devicePath, std::uint16_t address,
                    const std::uint8_t* buffer, std::uint32_t length);

}  // namespace q71x
