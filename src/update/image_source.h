#pragma once
// The image file of one run, read as raw bytes. Opening it also settles whether the run may go
// on: a name the 260-character field could not hold, a file that will not open and an empty file
// are all refused before the flash is touched.

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

#include "src/device/chip_tables.h"

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

// Clears `size` bytes at `buffer` to 0x00, then reads up to `size` file bytes into it. Returns
// the number of bytes read; 0 at the end of the file or on a read error.
std::uint32_t ReadImageChunk(ImageSource& image, std::uint8_t* buffer, std::uint32_t size);

// "The file is not at its end" as the block loops test it: true until a read came up short.
bool ImageHasMore(const ImageSource& image);

}  // namespace q71x
