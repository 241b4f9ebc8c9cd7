#include "src/app/sim/sample_images.h"

#include <system_error>

#include "sim/presets.h"
#include "src/image/sample_image.h"

namespace q71x {

std::vector<std::string> WritePresetSampleImages(const std::filesystem::path& folder) {
  std::vector<std::string> failed;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const sim::SerialFlashPreset& preset : sim::SerialFlashPresets()) {
    const std::filesystem::path file = folder / (std::string(preset.Key) + ".bin");
    if (std::filesystem::exists(file, error)) {
      continue;
    }
    SampleImageOptions options;
    options.ChipType = preset.ChipType;
    options.ChipRevision = preset.Revision;
    options.Size = preset.FirmwareBytes;
    options.Seed = static_cast<std::uint32_t>(preset.ChipType * 1000 + preset.Revision);
    if (WriteSampleImage(file.string(), options) != 1) {
      failed.push_back(file.string());
    }
  }
  return failed;
}

}  // namespace q71x
