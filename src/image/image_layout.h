// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where the tool looks inside an image file. The file is a raw flash image; only the header,
// the length field of late 713 images, the end marker and the checksum byte mean anything to us.

#include <array>
#include <cstddef>
#include <cstdint>

namespace q71x {

// Headers are always read in pieces of this size, wherever they stand.
inline constexpr std::size_t kHeaderLength = 10;

inline constexpr std::uint64_t kPlainHeaderOffset = 0;
// Images that begin with the controller's 4 KB configuration area carry their header after it.
inline constexpr std::uint64_t kNvramBlockSize = 4096;
inline constexpr std::uint64_t kNvramHeaderOffset = kNvramBlockSize;
// Chip types 12 and 14 keep 16 KB ahead of their header.
inline constexpr std::uint64_t kLateHeaderOffset = 16384;

inline constexpr std::array<std::uint8_t, 4> kHeaderSignature{0x55, 0xAA, 0xAA, 0x55};
inline constexpr std::size_t kFileCodeOffset = 4;  // within a header
inline constexpr std::size_t kFileCodeLength = 4;
inline constexpr std::size_t kRevisionByteOffset = 8;  // within a header, used by chip type 6

// Big-endian length that bounds the checksum of late 713 images; always at the start of the file.
inline constexpr std::size_t kStatedLengthOffset = 12;

inline constexpr std::array<std::uint8_t, 8> kEndMarker{'E', 'N', 'D', 'S', 'T', 'R', 0x55, 0xAA};

inline constexpr std::size_t kChecksumMinimumFileLength = 32768;
inline constexpr std::size_t kChecksumPosition = 32767;
inline constexpr std::size_t kLongChecksumFileLength = 65536;
inline constexpr std::size_t kLongChecksumPosition = 65535;

}  // namespace q71x
