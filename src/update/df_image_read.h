#pragma once
// Loading an opened image file into a programming buffer for the DF-family procedures.

#include <cstdint>

#include "src/update/image_source.h"

namespace q71x {

// Reads the file's bytes from `offset` to its end into `destination`. False when the file gave
// fewer: programming a half-read image would put zeros where firmware belongs.
bool ReadImageTail(ImageSource& image, std::uint64_t offset, std::uint8_t* destination);

}  // namespace q71x
