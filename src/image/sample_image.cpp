// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/sample_image.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "src/catalog/chip_codes.h"
#include "src/catalog/chip_type_table.h"
#include "src/host/safe_file_write.h"
#include "src/host/utf8_path.h"
#include "src/image/file_checksum.h"
#include "src/image/image_layout.h"

namespace q71x {
namespace {

// Header bytes 10-15 and the 16 bytes ahead of a moved header are kept free of body bytes, so
// that no signature or code can turn up there by chance.
constexpr std::size_t kReservedLength = 16;

class SampleBytes {
 public:
  explicit SampleBytes(std::size_t size) : bytes_(size) {}

  // Writes what fits; a short image simply loses the rest.
  void Put(std::size_t offset, std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < data.size() && offset + i < bytes_.size(); ++i) {
      bytes_[offset + i] = data[i];
    }
  }
  void Put(std::size_t offset, std::string_view text) {
    Put(offset, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  void Clear(std::size_t offset, std::size_t length) {
    for (std::size_t i = offset; i < offset + length && i < bytes_.size(); ++i) {
      bytes_[i] = 0;
    }
  }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// xorshift32: small, fast and the same on every platform.
void FillPseudoRandom(std::vector<std::uint8_t>& bytes, const SampleImageOptions& options) {
  std::uint32_t state =
      options.Seed * 2654435761u ^
      static_cast<std::uint32_t>(RowNumber(options.ChipType) << 8 | options.ChipRevision);
  if (state == 0) {
    state = 0x9E3779B9u;
  }
  for (auto& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<std::uint8_t>(state >> 24);
  }
}

char DigitFor(int k) {
  return static_cast<char>('0' + k);
}

// The code each chip's images carry, so that the chip's own rule accepts its sample.
std::string ChipFileCode(ChipType type, int revision) {
  const ChipTypeRow& row = ChipRow(type);
  if (row.Image == ImageRule::Revision1MarkOrCodeWithRevision && revision == 1) {
    return std::string(kType1Revision1Code);
  }
  if (row.Image == ImageRule::SignatureByRevision) {
    return std::string((revision == 2 ? kType7Revision2Signature : kType7Revision1Signature)
                           .substr(kFileCodeOffset));
  }
  const std::string_view code = ImageMatchCode(row);
  if (code.empty()) {
    return {};
  }
  return std::string(code) + DigitFor(row.ImageRevisionFromOne ? revision : revision - 1);
}

// Chips that accept any image whose code does not begin "71" (their own code included) get
// samples that carry no header at all.
bool CarriesHeader(ChipType type) {
  return ChipRow(type).Image != ImageRule::NotSeriesCode;
}

void PutHeader(SampleBytes& image, std::size_t offset, const SampleImageOptions& options) {
  image.Clear(offset, kReservedLength);
  image.Put(offset, std::span<const std::uint8_t>(kHeaderSignature));
  std::string code =
      options.FileCode.value_or(ChipFileCode(options.ChipType, options.ChipRevision));
  code.resize(std::min(code.size(), kFileCodeLength));
  image.Put(offset + kFileCodeOffset, code);
  const std::uint8_t revisionByte = static_cast<std::uint8_t>(DigitFor(options.ChipRevision - 1));
  image.Put(offset + kRevisionByteOffset, std::span(&revisionByte, 1));
}

std::size_t DefaultStatedLength(std::size_t size) {
  return std::min({size, ChecksumPosition(size), std::size_t{0xFFFF}});
}

// Where the sum must not be disturbed when a byte is changed to balance it.
bool IsLaidOut(std::size_t index, std::size_t headerOffset, std::optional<std::size_t> marker,
               std::size_t checksumPosition) {
  const auto within = [index](std::size_t start, std::size_t length) {
    return index >= start && index < start + length;
  };
  return within(0, kReservedLength) || within(headerOffset, kReservedLength) ||
         (marker && within(*marker, kEndMarker.size())) || index == checksumPosition;
}

// Makes byte P pass (or fail) the checksum test. When P lies inside the summed range it is
// summed over itself, so the rest of the range must add up to 0; one body byte is adjusted.
void PutChecksum(std::vector<std::uint8_t>& bytes, std::size_t headerOffset,
                 std::optional<std::size_t> marker, bool passing) {
  if (bytes.size() < kChecksumMinimumFileLength) {
    return;
  }
  const auto summed = ChecksummedLength(bytes);
  if (!summed) {
    return;  // a stated length beyond the file fails whatever byte P holds
  }
  const std::size_t position = ChecksumPosition(bytes.size());
  const auto range = std::span<const std::uint8_t>(bytes).first(*summed);
  if (position >= *summed) {
    bytes[position] = static_cast<std::uint8_t>(ByteSum(range) + (passing ? 0 : 1));
    return;
  }
  std::size_t balance = *summed - 1;
  while (IsLaidOut(balance, headerOffset, marker, position)) {
    --balance;
  }
  const std::uint8_t rest = static_cast<std::uint8_t>(ByteSum(range) - bytes[position]);
  bytes[balance] = static_cast<std::uint8_t>(bytes[balance] - rest + (passing ? 0 : 1));
}

}  // namespace

std::size_t SampleHeaderOffset(const SampleImageOptions& options) {
  if (ChipRow(options.ChipType).LateHeader) {
    return kLateHeaderOffset;
  }
  return options.NvramBlock ? kNvramHeaderOffset : kPlainHeaderOffset;
}

std::vector<std::uint8_t> BuildSampleImage(const SampleImageOptions& options) {
  SampleBytes image(options.Size);
  FillPseudoRandom(image.Bytes(), options);
  image.Clear(0, kReservedLength);

  const std::size_t headerOffset = SampleHeaderOffset(options);
  if (CarriesHeader(options.ChipType) || options.FileCode) {
    PutHeader(image, headerOffset, options);
  }

  // How far the checksummed part reaches: to the stated length for images that state one.
  std::size_t reach = std::min(options.Size, ChecksumPosition(options.Size));
  if (options.StatedLength || ImageStatesItsLength(image.Bytes())) {
    const std::uint16_t stated = options.StatedLength.value_or(
        static_cast<std::uint16_t>(DefaultStatedLength(options.Size)));
    const std::uint8_t field[2] = {static_cast<std::uint8_t>(stated >> 8),
                                   static_cast<std::uint8_t>(stated & 0xFF)};
    image.Put(kStatedLengthOffset, field);
    if (ImageStatesItsLength(image.Bytes())) {
      reach = std::min<std::size_t>(stated, options.Size);
    }
  }

  std::optional<std::size_t> marker;
  if (options.EndMarker) {
    marker = options.EndMarkerOffset.value_or(
        std::max(headerOffset + kReservedLength, reach / 2 & ~std::size_t{15}));
    image.Put(*marker, std::span<const std::uint8_t>(kEndMarker));
  }

  PutChecksum(image.Bytes(), headerOffset, marker, options.Checksum);
  return std::move(image.Bytes());
}

int WriteSampleImage(const std::string& path, const SampleImageOptions& options) {
  const std::vector<std::uint8_t> bytes = BuildSampleImage(options);
  std::string reason;
  return WriteFileSafely(PathFromUtf8(path), bytes.data(), bytes.size(), FileAccess::Default,
                         reason) == SafeWriteStatus::Written
             ? 1
             : 0;
}

}  // namespace q71x
