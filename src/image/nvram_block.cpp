// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/image/nvram_block.h"

#include <fstream>

#include "src/catalog/chip_type_table.h"
#include "src/image/image_file.h"
#include "src/image/image_layout.h"

namespace q71x {

int DetectNvramBlock(const std::string& path, ChipType chipType) {
  std::ifstream file;
  if (OpenImageStream(path, LargestImageFor(ChipGroupOf(chipType)), file) !=
      ImageFileCheck::Usable) {
    return 0;
  }
  if (ReadImageHeader(file, kPlainHeaderOffset).HasSignature()) {
    return 0;
  }
  const ImageHeader header = ReadImageHeader(file, kNvramHeaderOffset);
  // A chip without a code of its own (type 0, or a type outside the table) owns no block.
  const std::string_view tableCode = ChipRow(chipType).ImageCode;
  const auto code = header.Prefix(kFileCodeOffset + tableCode.size());
  return !tableCode.empty() && header.HasSignature() && code &&
                 code->substr(kFileCodeOffset) == tableCode
             ? 1
             : 0;
}

}  // namespace q71x
