// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary bytes as an image file to the three file readers and to the end-marker search,
// for every chip type. The readers must never read past the file or trip the sanitizers, and the
// end-marker search must keep its promise about what it returns.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "src/catalog/chip_tables.h"
#include "src/host/user_dialogs.h"
#include "src/image/file_checksum.h"
#include "src/image/firmware_match.h"
#include "src/image/image_layout.h"
#include "src/image/nvram_block.h"

namespace {

// One scratch file for the whole run, removed when the process ends normally.
class ScratchFile {
 public:
  ScratchFile() {
    path_ = (std::filesystem::temp_directory_path() / "q71x-fuzz-image-XXXXXX").string();
    const int fd = mkstemp(path_.data());
    if (fd < 0) {
      std::perror("mkstemp");
      std::abort();
    }
    close(fd);
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& Write(const std::uint8_t* data, std::size_t size) {
    std::ofstream file(path_, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    if (!file) {
      std::abort();
    }
    return path_;
  }

 private:
  std::string path_;
};

// A plain position-by-position search as the reference for FindEndMarker.
void CheckEndMarker(const std::uint8_t* data, std::size_t length) {
  std::size_t expected = length;
  for (std::size_t k = 0; k + q71x::kEndMarker.size() <= length; ++k) {
    if (std::equal(q71x::kEndMarker.begin(), q71x::kEndMarker.end(), data + k)) {
      expected = k + q71x::kEndMarker.size();
      break;
    }
  }
  if (q71x::FindEndMarker(data, length) != expected) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  q71x::SetMessageBoxHandler([](const q71x::MessageBoxRequest&) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile scratch;
  const std::string& path = scratch.Write(data, size);

  // The revision comes from the input so that the revision-comparing rules see both outcomes.
  const std::uint8_t revision = size > 7 ? static_cast<std::uint8_t>(data[7] - '0' + 1) : 1;
  for (int type = 0; type <= q71x::kChipTypeCount; ++type) {
    const auto identity = q71x::MakeChipIdentity(static_cast<std::uint8_t>(type), revision);
    const int match = q71x::FirmwareMatchesChip(path, identity);
    // One past the table on purpose: a type no row carries must read as no row.
    const int nvram = q71x::DetectNvramBlock(path, static_cast<q71x::ChipType>(type));
    if ((match != 0 && match != 1) || (nvram != 0 && nvram != 1)) {
      __builtin_trap();
    }
  }
  // One type whose images may carry an NVRAM block, one whose checksum may stop at a marker.
  for (const std::uint8_t type : {std::uint8_t{9}, std::uint8_t{4}}) {
    const int sum = q71x::VerifyFileChecksum(path, q71x::MakeChipIdentity(type, revision));
    if (sum != 0 && sum != 1) {
      __builtin_trap();
    }
  }
  CheckEndMarker(data, size);
  return 0;
}
