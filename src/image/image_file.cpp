// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/image_file.h"

#include <algorithm>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "src/device/platform/platform.h"
#include "src/host/utf8_path.h"

namespace q71x {

bool ImageHeader::HasSignature() const {
  return Available >= kHeaderSignature.size() &&
         std::equal(kHeaderSignature.begin(), kHeaderSignature.end(), Bytes.begin());
}

bool ImageHeader::HasShortSignature() const {
  return Available >= 2 && Bytes[0] == kHeaderSignature[0] && Bytes[1] == kHeaderSignature[1];
}

std::string_view ImageHeader::FileCode() const {
  const char* text = reinterpret_cast<const char*>(Bytes.data()) + kFileCodeOffset;
  const std::size_t delivered =
      Available > kFileCodeOffset ? std::min(Available - kFileCodeOffset, kFileCodeLength) : 0;
  const std::string_view code(text, delivered);
  return code.substr(0, code.find('\0'));
}

std::optional<std::string_view> ImageHeader::Prefix(std::size_t count) const {
  if (count > Available) {
    return std::nullopt;
  }
  return std::string_view(reinterpret_cast<const char*>(Bytes.data()), count);
}

std::optional<std::uint8_t> ImageHeader::At(std::size_t index) const {
  if (index >= Available) {
    return std::nullopt;
  }
  return Bytes[index];
}

std::uint64_t LargestImageFor(ChipGroup group) {
  constexpr std::uint64_t kSerialFlashAddressSpace = 0x1000000;
  switch (group) {
    case ChipGroup::ParallelFlash:
      return 0x10000;
    case ChipGroup::DiskKept:
      return 0x100000;
    case ChipGroup::SerialFlash:
    case ChipGroup::NotSupported:
      break;
  }
  return kSerialFlashAddressSpace;
}

ImageFileCheck OpenImageStream(const std::string& path, std::uint64_t largest,
                               std::ifstream& file) {
  const std::filesystem::path name = PathFromUtf8(path);
  std::error_code error;
  // Opening a FIFO waits for a writer and a device may never end: only a plain file is read.
  const std::filesystem::file_status found = std::filesystem::status(name, error);
  if (found.type() == std::filesystem::file_type::not_found ||
      found.type() == std::filesystem::file_type::none) {
    return ImageFileCheck::Unreadable;
  }
  if (found.type() != std::filesystem::file_type::regular) {
    ActivePlatform().DebugOutput(path +
                                 " is not a plain file (a folder, FIFO, device or socket);"
                                 " not read as a firmware image.\n");
    return ImageFileCheck::NotPlainFile;
  }
  if (const std::uintmax_t size = std::filesystem::file_size(name, error);
      !error && size > largest) {
    ActivePlatform().DebugOutput(path + " holds " + std::to_string(size) +
                                 " bytes, more than this chip's firmware memory (" +
                                 std::to_string(largest) + "); not read as a firmware image.\n");
    return ImageFileCheck::TooLarge;
  }
  file.open(name, std::ios::in | std::ios::binary);
  return file.is_open() ? ImageFileCheck::Usable : ImageFileCheck::Unreadable;
}

ImageHeader ReadImageHeader(std::ifstream& file, std::uint64_t offset) {
  ImageHeader header;
  file.clear();
  if (!file.seekg(static_cast<std::streamoff>(offset), std::ios::beg)) {
    file.clear();
    return header;
  }
  file.read(reinterpret_cast<char*>(header.Bytes.data()),
            static_cast<std::streamsize>(header.Bytes.size()));
  header.Available = static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0));
  file.clear();
  return header;
}

std::optional<std::vector<std::uint8_t>> ReadWholeImage(std::ifstream& file) {
  file.clear();
  if (!file.seekg(0, std::ios::end)) {
    return std::nullopt;
  }
  const std::streamoff end = file.tellg();
  if (end < 0 || !file.seekg(0, std::ios::beg)) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> data;
  try {
    data.resize(static_cast<std::size_t>(end));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::length_error&) {
    return std::nullopt;
  }
  file.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (file.gcount() != static_cast<std::streamsize>(data.size())) {
    return std::nullopt;
  }
  return data;
}

bool FileCodeEquals(std::string_view code, std::string_view expected, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const char have = i < code.size() ? code[i] : '\0';
    const char want = i < expected.size() ? expected[i] : '\0';
    if (have != want) {
      return false;
    }
    if (have == '\0') {
      return true;
    }
  }
  return true;
}

}  // namespace q71x
