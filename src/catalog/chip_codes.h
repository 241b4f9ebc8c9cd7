// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The bytes some chips' image files carry in place of the plain code their row of the chip-type
// table (src/catalog/chip_type_table.h) names: the image rules that need them are there.

#include <string_view>

namespace q71x {

// Every chip code of the QV4071x series begins with these two characters.
inline constexpr std::string_view kSeriesCodePrefix = "71";

// The revision-1 images of the QV40714 Series carry these bytes where other images carry a code.
inline constexpr std::string_view kType1Revision1Code{"\x5A\xA5\x0F\xF0", 4};

// QVK846 images are recognised by their first 8 bytes, one pattern per revision.
inline constexpr std::string_view kType7Revision1Signature{"\x55\xAA\xAA\x55q846", 8};
inline constexpr std::string_view kType7Revision2Signature{
    "\x55\xAA\xAA\x55"
    "8461",
    8};

}  // namespace q71x
