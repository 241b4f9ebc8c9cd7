// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The texts the image checks show, exactly as the operator has always seen them.

#include <string_view>

namespace q71x {

inline constexpr std::string_view kOpenFirmwareFileErrorText = "Open Firmware File Error!!";
inline constexpr std::string_view kErrorCaption = "Error";
// Shown by the Load File button when the checksum test fails.
inline constexpr std::string_view kChecksumFailureText =
    "Please check the firmware file with checksum!";
// The open-file dialog's filter, for firmware and backup files alike.
inline constexpr std::string_view kFirmwareFileFilter =
    "BinaryFile|*.bin|All Files|*.*|QVF Files|*.qvf";

}  // namespace q71x
