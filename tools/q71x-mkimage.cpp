// SPDX-License-Identifier: GPL-2.0-or-later
// Writes a sample firmware image for any chip type and revision, for trying the tool on the
// simulator or on a bench bridge. The bytes come from BuildSampleImage; this is its command line.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "src/catalog/chip_tables.h"
#include "src/image/sample_image.h"

namespace {

constexpr const char* kUsage =
    "usage: q71x-mkimage --type T --rev R [options] OUTPUT\n"
    "       q71x-mkimage --list\n"
    "\n"
    "  --type T            chip type, 0 to 19 (see --list)\n"
    "  --rev R             chip revision (default 1)\n"
    "  --size N            image length in bytes (default 32768)\n"
    "  --nvram             begin with a 4 KB NVRAM block; the header moves to 4096\n"
    "  --bad-checksum      write a checksum byte that fails the checksum test\n"
    "  --end-marker        put the end marker \"ENDSTR\" 55 AA into the image\n"
    "  --end-marker-at N   put the end marker at offset N\n"
    "  --stated-length N   write N into bytes 12-13\n"
    "  --code TEXT         write TEXT (up to 4 characters) as the chip code\n"
    "  --seed N            seed of the pseudo-random body (default 1)\n"
    "Numbers may be decimal or 0x-prefixed hexadecimal.\n";

std::optional<unsigned long> ParseNumber(const char* text, unsigned long max) {
  if (text == nullptr || *text == '\0' || *text == '-') {
    return std::nullopt;
  }
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 0);
  if (errno != 0 || *end != '\0' || value > max) {
    return std::nullopt;
  }
  return value;
}

void PrintChipTypes() {
  std::printf("type  code  name\n");
  for (int type = 0; type < q71x::kChipTypeCount; ++type) {
    const std::string code(q71x::ChipRow(type).ImageCode);
    const std::string name(q71x::ChipTypeName(type));
    std::printf("%4d  %-4s  %s\n", type, code.empty() ? "-" : code.c_str(), name.c_str());
  }
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "q71x-mkimage: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  q71x::SampleImageOptions options;
  std::optional<std::string> output;
  bool typeGiven = false;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto number = [&](unsigned long max) {
      ++i;
      return ParseNumber(value, max);
    };
    if (arg == "--list") {
      PrintChipTypes();
      return 0;
    } else if (arg == "--help" || arg == "-h") {
      std::printf("%s", kUsage);
      return 0;
    } else if (arg == "--type") {
      const auto row = number(q71x::kChipTypeCount - 1);
      const auto type = row ? q71x::ChipTypeOfNumber(static_cast<long long>(*row)) : std::nullopt;
      if (!type) {
        return Fail("--type needs a chip type from 0 to 19");
      }
      options.ChipType = *type;
      typeGiven = true;
    } else if (arg == "--rev") {
      const auto revision = number(255);
      if (!revision) {
        return Fail("--rev needs a revision from 0 to 255");
      }
      options.ChipRevision = static_cast<int>(*revision);
    } else if (arg == "--size") {
      const auto size = number(64ul << 20);
      if (!size) {
        return Fail("--size needs a length of at most 64 MB");
      }
      options.Size = *size;
    } else if (arg == "--nvram") {
      options.NvramBlock = true;
    } else if (arg == "--bad-checksum") {
      options.Checksum = false;
    } else if (arg == "--end-marker") {
      options.EndMarker = true;
    } else if (arg == "--end-marker-at") {
      const auto offset = number(64ul << 20);
      if (!offset) {
        return Fail("--end-marker-at needs an offset");
      }
      options.EndMarker = true;
      options.EndMarkerOffset = *offset;
    } else if (arg == "--stated-length") {
      const auto stated = number(0xFFFF);
      if (!stated) {
        return Fail("--stated-length needs a length from 0 to 65535");
      }
      options.StatedLength = static_cast<std::uint16_t>(*stated);
    } else if (arg == "--code") {
      ++i;
      if (value == nullptr || std::strlen(value) > 4) {
        return Fail("--code needs up to 4 characters");
      }
      options.FileCode = value;
    } else if (arg == "--seed") {
      const auto seed = number(0xFFFFFFFFul);
      if (!seed) {
        return Fail("--seed needs a number");
      }
      options.Seed = static_cast<std::uint32_t>(*seed);
    } else if (!arg.empty() && arg[0] == '-') {
      return Fail("unknown option " + std::string(arg));
    } else if (output) {
      return Fail("only one output file");
    } else {
      output = std::string(arg);
    }
  }
  if (!typeGiven || !output) {
    return Fail("--type and an output file are needed");
  }
  if (q71x::WriteSampleImage(*output, options) != 1) {
    std::fprintf(stderr, "q71x-mkimage: cannot write %s\n", output->c_str());
    return 1;
  }
  return 0;
}
