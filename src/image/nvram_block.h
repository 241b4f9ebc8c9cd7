// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Whether an image file begins with the controller's 4 KB configuration area (NVRAM block)
// ahead of its header. The checksum test skips such images, and the NVRAM-preserving update
// decides from it where the file's firmware starts.

#include <string>

#include "src/catalog/chip_type_table.h"

namespace q71x {

// 1 when the file has no header at offset 0 but one at 4096 that carries this chip type's code,
// else 0. A file that cannot be read simply has no NVRAM block; nothing is shown.
int DetectNvramBlock(const std::string& path, ChipType chipType);

}  // namespace q71x
