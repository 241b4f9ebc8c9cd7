// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The sense data a failed command leaves for the host's REQUEST SENSE, in the fixed format that
// usb-storage's automatic sense request reads.

#include <array>
#include <cstdint>

namespace q71x::gadget {

struct SenseData {
  std::uint8_t Key = 0;
  std::uint8_t Asc = 0;
  std::uint8_t Ascq = 0;
  bool operator==(const SenseData&) const = default;
};

inline constexpr SenseData kNoSense{0x00, 0x00, 0x00};
// Medium not present: the kernel's spin-up logic gives up at once on this one, where "becoming
// ready" would make it wait.
inline constexpr SenseData kMediumNotPresent{0x02, 0x3A, 0x00};
inline constexpr SenseData kInvalidOpcode{0x05, 0x20, 0x00};
inline constexpr SenseData kInvalidFieldInCdb{0x05, 0x24, 0x00};
inline constexpr SenseData kCommandAborted{0x0B, 0x00, 0x00};

inline constexpr std::size_t kFixedSenseLength = 18;

std::array<std::uint8_t, kFixedSenseLength> FixedFormatSense(const SenseData& sense);

}  // namespace q71x::gadget
