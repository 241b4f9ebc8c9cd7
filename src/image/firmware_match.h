// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Whether an image file belongs to the identified chip: the test the chip check runs before Run
// may be pressed with a file.

#include <cstdint>
#include <string>

namespace q71x {

// 1 when the file at path belongs to the chip identity (type in the low byte, revision in the
// high byte), else 0. A file that cannot be opened shows "Open Firmware File Error!!" and is 0.
int FirmwareMatchesChip(const std::string& path, std::uint16_t chipIdentity);

}  // namespace q71x
