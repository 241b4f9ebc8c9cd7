// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/cli_large_update.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "gadget/guest/gadget_client.h"
#include "sim/presets.h"

namespace q71x::guest {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kImageBytes = 256 * 1024;
// The serial-flash update keeps the 512-byte configuration copy at 0x8000 only for an image of
// up to 32 KB; a larger one takes the whole chip. The pulled update is of such an image, so
// that the journal holds the copy.
constexpr std::size_t kConfigKeptUpTo = 32 * 1024;
constexpr int kReplugWaitSeconds = 90;

Bytes ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The preset's sample image, continued with code-like bytes to the full size; `seed` tells two
// such images apart.
std::string WriteLargeImage(const fs::path& sample, const fs::path& file, std::uint32_t seed,
                            const std::optional<SeatUser>& user) {
  Bytes image = ReadBytes(sample);
  const std::size_t kept = std::min(image.size(), kImageBytes);
  image.resize(kImageBytes);
  std::uint32_t noise = seed * 2654435761u + 1;
  for (std::size_t i = kept; i < kImageBytes; ++i) {
    noise = noise * 1103515245u + 12345u;
    image[i] = static_cast<std::uint8_t>(noise >> 16) & 0x7F;
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()),
            static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out || (user && ::chown(file.c_str(), user->Uid, user->Gid) != 0)) {
    return {};
  }
  return file.string();
}

std::string Hex(std::size_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%zx", value);
  return text;
}

// Empty when the flash holds `image`, and the configuration area as `before` held it where
// the update keeps it; else where it first differs.
std::string Mismatch(const Bytes& flash, const Bytes& image, const Bytes& before,
                     const sim::SerialFlashPreset& preset) {
  const bool keeps = image.size() <= kConfigKeptUpTo;
  const std::size_t keptEnd = preset.ConfigOffset + preset.ConfigBytes;
  const std::size_t judged = keeps ? std::max(image.size(), keptEnd) : image.size();
  if (image.empty() || flash.size() < judged || before.size() < judged) {
    return "the flash holds " + std::to_string(flash.size()) + " bytes";
  }
  for (std::size_t i = 0; i < judged; ++i) {
    const bool kept = keeps && i >= preset.ConfigOffset && i < keptEnd;
    if (!kept && i >= image.size()) {
      continue;
    }
    if (flash[i] != (kept ? before[i] : image[i])) {
      return "first difference at " + Hex(i) + (kept ? " (the kept configuration area)" : "");
    }
  }
  return {};
}

Bytes FlashOf(const LargeFlashGadget& gadget, const std::string& workDir) {
  std::string detail;
  return GadgetClient(gadget.Socket).ReadFlash(workDir, detail).value_or(Bytes{});
}

// What the kernel lets one command of the node carry, as sysfs says; 0 when it does not.
std::size_t MaxHwSectorsKb(const std::string& node) {
  const fs::path blocks =
      "/sys/class/scsi_generic/" + fs::path(node).filename().string() + "/device/block";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(blocks, ec)) {
    std::ifstream in(entry.path() / "queue/max_hw_sectors_kb");
    std::size_t kb = 0;
    if (in >> kb) {
      return kb;
    }
  }
  return 0;
}

bool Claimed(const CliRun& run) {
  return run.Json.is_object() && run.Json.contains("run") &&
         run.Json["run"].value("claimed_success", false);
}

nlohmann::json WaitForPendingRecovery(const std::function<nlohmann::json()>& relist) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kReplugWaitSeconds);
  for (;;) {
    const nlohmann::json device = relist();
    if ((device.is_object() && device.value("recovery_pending", false)) ||
        std::chrono::steady_clock::now() > deadline) {
      return device;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
  }
}

}  // namespace

void CheckLargeUpdateAndPull(StepLog& log, const CliRunner& cli, const std::string& workDir,
                             const LargeFlashGadget& gadget, const nlohmann::json& device,
                             const std::function<nlohmann::json()>& relist) {
  const sim::SerialFlashPreset* preset = sim::FindSerialFlashPreset(gadget.PresetKey);
  if (!log.Check(preset != nullptr, "large: " + gadget.PresetKey + " is a serial-flash preset")) {
    return;
  }
  const std::string key = gadget.PresetKey + "+" + std::to_string(kImageBytes / 1024) + "k";
  const fs::path images = fs::path(workDir) / "images";
  const fs::path sample = images / (gadget.PresetKey + ".bin");
  const Bytes small = ReadBytes(sample);
  const std::string large = WriteLargeImage(sample, images / (key + ".bin"), 1, cli.User());
  const Bytes before = FlashOf(gadget, workDir);
  if (!log.Check(!large.empty() && !small.empty() && small.size() <= kConfigKeptUpTo &&
                     before.size() >= kImageBytes,
                 "large " + key + ": images of " + std::to_string(small.size()) + " and " +
                     std::to_string(kImageBytes) + " bytes written, the gadget's flash holds " +
                     std::to_string(before.size()) + " bytes")) {
    return;
  }

  // The cable goes as soon as the gadget's flash changes: the erase has begun.
  std::string unplugged;
  std::thread pull([&] { unplugged = GadgetClient(gadget.Socket).UnplugOnFlashChange(); });
  std::this_thread::sleep_for(std::chrono::seconds(1));  // the gadget takes its snapshot
  const StartedRun running =
      cli.Start({"--yes", "update", device.value("path", ""), sample.string()},
                (fs::path(workDir) / "pull.err").string());
  pull.join();
  const CliRun pulled = cli.Finish(running);
  log.Note(Describe("update, pulled once the flash changed", pulled));
  const Bytes halfway = FlashOf(gadget, workDir);
  log.Note("gadget: " + unplugged);
  log.Check(unplugged == "ok" && pulled.Code != 0 && !Claimed(pulled) &&
                !Mismatch(halfway, small, before, *preset).empty(),
            "pull: the gadget pulled once its flash changed, the update fails without "
            "claiming success and the flash does not hold the image");

  const std::string plugged = GadgetClient(gadget.Socket).Plug();
  const nlohmann::json back = WaitForPendingRecovery(relist);
  log.Check(plugged == "ok" && back.is_object() && back.value("recovery_pending", false),
            "pull: plugged back, list shows the unit's recovery pending");
  if (!back.is_object()) {
    return;
  }
  const std::string path = back.value("path", "");
  const CliRun recovery = cli.Run({"--yes", "info", path});
  log.Note(Describe("info " + path, recovery));
  const Bytes recovered = FlashOf(gadget, workDir);
  const std::size_t keptEnd = preset->ConfigOffset + preset->ConfigBytes;
  const bool areaBack = recovered.size() >= keptEnd && before.size() >= keptEnd &&
                        std::equal(before.begin() + preset->ConfigOffset, before.begin() + keptEnd,
                                   recovered.begin() + preset->ConfigOffset);
  const nlohmann::json closed = relist();
  log.Check(recovery.Code == 0 && areaBack && closed.is_object() &&
                !closed.value("recovery_pending", true),
            "pull: info --yes puts the configuration area back from the journal byte for byte "
            "and closes the entry");

  const CliRun again = cli.Run({"--yes", "update", path, sample.string()});
  log.Note(Describe("update " + path, again));
  const std::string still = Mismatch(FlashOf(gadget, workDir), small, before, *preset);
  if (!still.empty()) {
    log.Note(still);
  }
  log.Check(again.Code == 0 && Claimed(again) && still.empty(),
            "pull: the update after recovery exits 0 and the flash holds the image with the "
            "unit's own configuration area");

  // Above what one command carries: the system's limit as sysfs gives it.
  const std::string node = SgNodeOf(back);
  const std::size_t limitKb = MaxHwSectorsKb(node);
  const Bytes updated = FlashOf(gadget, workDir);
  const CliRun update = cli.Run({"--yes", "update", path, large});
  log.Note(Describe("update " + path, update));
  const std::string wrong = Mismatch(FlashOf(gadget, workDir), ReadBytes(large), updated, *preset);
  if (!wrong.empty()) {
    log.Note(wrong);
  }
  log.Check(update.Code == 0 && Claimed(update) && wrong.empty() && limitKb > 0 &&
                limitKb * 1024 < kImageBytes,
            "large " + key + ": through " + node + ", which carries " + std::to_string(limitKb) +
                " KB a command, the update exits 0 and the flash holds the image byte for byte");
}

}  // namespace q71x::guest
