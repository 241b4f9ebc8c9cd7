// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The 8-bit checksum test of an image file (the engineering panel's "Check CheckSum") and the
// pieces of it that the sample-image generator needs to write images that pass it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace q71x {

// 1 when the image passes, else 0. Only the chip type of the identity is used: images that begin
// with an NVRAM block of that chip type are not checksummed and pass.
int VerifyFileChecksum(const std::string& path, std::uint16_t chipIdentity);

// The number of bytes up to and including the first "ENDSTR" 55 AA that lies wholly within the
// first length bytes, or length when there is none.
std::size_t FindEndMarker(const std::uint8_t* data, std::size_t length);

// Where the checksum byte of a file of this length stands.
std::size_t ChecksumPosition(std::size_t fileLength);

// Late 713 images (code "713" with a revision character from "3" to "9") state in bytes 12-13
// how far their code reaches, and the sum leaves out whatever follows it.
bool ImageStatesItsLength(std::span<const std::uint8_t> image);

// How many leading bytes of the image the checksum covers, or nothing when the image states a
// length its file does not have (such an image fails the test).
std::optional<std::size_t> ChecksummedLength(std::span<const std::uint8_t> image);

// The 8-bit sum with wrap-around.
std::uint8_t ByteSum(std::span<const std::uint8_t> bytes);

}  // namespace q71x
