// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/simhost/sample_images.h"

#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "src/host/safe_file_write.h"
#include "src/host/utf8_path.h"
#include "src/image/sample_image.h"

namespace q71x {
namespace {

SampleImageOptions PresetImageOptions(int chipType, int revision, std::uint32_t size) {
  SampleImageOptions options;
  options.ChipType = ToChipType(chipType);
  options.ChipRevision = revision;
  options.Size = size;
  return options;
}

}  // namespace

std::vector<std::string> WritePresetSampleImages(const std::filesystem::path& folder) {
  std::vector<std::string> failed;
  if (std::string folderProblem = MakeOwnFolder(folder); !folderProblem.empty()) {
    return {folderProblem};
  }
  auto write = [&](const char* key, SampleImageOptions options) {
    const std::filesystem::path file = folder / (std::string(key) + ".bin");
    options.Seed =
        static_cast<std::uint32_t>(RowNumber(options.ChipType) * 1000 + options.ChipRevision);
    const std::vector<std::uint8_t> image = BuildSampleImage(options);
    std::string reason;
    // An image already there may be one the user edited on purpose: it is kept.
    const SafeWriteStatus status = WriteFileSafely(file, image.data(), image.size(),
                                                   FileAccess::Default, reason, ExistingFile::Keep);
    if (status != SafeWriteStatus::Written && status != SafeWriteStatus::AlreadyThere) {
      failed.push_back(reason);
    }
  };
  for (const sim::SerialFlashPreset& preset : sim::SerialFlashPresets()) {
    write(preset.Key, PresetImageOptions(preset.ChipType, preset.Revision, preset.FirmwareBytes));
  }
  for (const sim::HardwarePreset& preset : sim::HardwarePresets()) {
    SampleImageOptions options =
        PresetImageOptions(preset.ChipType, preset.Revision, preset.FirmwareBytes);
    if (preset.Home == sim::FirmwareHome::ParallelFlash) {
      // A parallel-flash image must not carry a code of the QV4071x series.
      options.FileCode = preset.ImageChipCode;
    }
    write(preset.Key, options);
  }
  return failed;
}

}  // namespace q71x
