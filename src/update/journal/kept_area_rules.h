// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The configuration areas the procedures really keep across their erase, by procedure: where the
// area lives, how long it is and which erase unit holds it. A journal entry is a copy of one of
// these or it is not ours to write: its check line is a checksum anyone can recompute, so it
// proves that the file is whole, not that this tool made it. An entry for any other area, length
// or erase address is reported and never written.

#include <cstdint>
#include <string>
#include <string_view>

namespace q71x {

// Empty when `procedure` keeps exactly this area; else the sentence that says what it keeps.
std::string KeptAreaProblem(std::string_view procedure, std::uint32_t areaAddress,
                            std::uint32_t length, std::uint32_t eraseAddress);

}  // namespace q71x
