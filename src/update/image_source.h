// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The image file of one run, read as raw bytes. Opening it also settles whether the run may go
// on: a name the 260-character field could not hold, a file that will not open and an empty file
// are all refused before the flash is touched.

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "src/catalog/chip_tables.h"

namespace q71x {

// The firmware and backup fields hold 259 characters and the terminator.
inline constexpr std::size_t kMaxPathChars = 260;
// Serial-flash commands carry a 24-bit address; an area beyond it would wrap onto address 0.
inline constexpr std::uint64_t kFlashAddressSpace = 0x1000000;

struct ImageSource {
  std::ifstream stream;
  std::uint64_t length = 0;
};

// Empty text when the file is open with its length known; else the refusal to report. Only a
// plain file no larger than the firmware memory of the procedure's chip group is opened.
std::string_view OpenImageFile(const std::string& path, ChipGroup family, ImageSource& image);

// Reads the file's bytes from `offset` to its end, as measured at open, into `destination`.
// False when the file gave fewer: it shrank after it was opened, or a read failed on a share or a
// removable disk. Programming a half-read image would put zeros where firmware belongs, and the
// verify would compare them with the same zeros.
bool ReadImageTail(ImageSource& image, std::uint64_t offset, std::uint8_t* destination);

// Clears `bufferSize` bytes at `buffer` to 0x00 and reads the whole file into them, so bytes past
// its end are programmed as 0x00. False when the buffer cannot hold the file or the file gave
// fewer bytes than it had at open. Every procedure reads its image this way before its first
// erase.
bool ReadWholeImage(ImageSource& image, std::uint8_t* buffer, std::uint64_t bufferSize);

// A whole image in memory handed out in blocks of one size, from `start` on: each block holds
// the next bytes of the image, then 0x00 past its end. The procedures that program block by
// block take their blocks from here, once the whole file has been read.
class ImageBlocks {
 public:
  ImageBlocks(const std::uint8_t* image, std::uint64_t length, std::uint64_t start)
      : image_(image), length_(length), next_(start) {}
  // Fills `size` bytes of `block`; false (nothing written) once the image's end is passed.
  bool Next(std::uint8_t* block, std::uint32_t size);

 private:
  const std::uint8_t* image_;
  std::uint64_t length_;
  std::uint64_t next_;
};

}  // namespace q71x
