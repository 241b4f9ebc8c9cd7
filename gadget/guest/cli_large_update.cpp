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
// Far enough into the run that the flash was erased and is being programmed, short of its end.
constexpr int kPullAtPercent = 40;
constexpr int kPullWaitSeconds = 180;
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

// Empty when the flash holds `image` with the configuration area the device keeps as it was in
// `before`; else where it first differs.
std::string Mismatch(const Bytes& flash, const Bytes& image, const Bytes& before,
                     const sim::SerialFlashPreset& preset) {
  if (flash.size() < image.size() || before.size() < image.size()) {
    return "the flash holds " + std::to_string(flash.size()) + " bytes";
  }
  const std::size_t keptEnd = preset.ConfigOffset + preset.ConfigBytes;
  for (std::size_t i = 0; i < image.size(); ++i) {
    const bool kept = i >= preset.ConfigOffset && i < keptEnd;
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

// The highest percent of the update phase in the run's JSON lines on standard error so far.
int UpdatePercent(const fs::path& errFile) {
  std::ifstream in(errFile);
  int percent = -1;
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
    if (event.is_object() && event.value("event", "") == "progress" &&
        event.value("phase", "") == "update") {
      percent = std::max(percent, event.value("percent", -1));
    }
  }
  return percent;
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
  const std::string first = WriteLargeImage(sample, images / (key + "-a.bin"), 1, cli.User());
  const std::string second = WriteLargeImage(sample, images / (key + "-b.bin"), 2, cli.User());
  const Bytes before = FlashOf(gadget, workDir);
  if (!log.Check(!first.empty() && !second.empty() && before.size() >= kImageBytes,
                 "large " + key + ": two images written, the gadget's flash holds " +
                     std::to_string(before.size()) + " bytes")) {
    return;
  }
  const std::string node = SgNodeOf(device);
  const std::size_t limitKb = MaxHwSectorsKb(node);
  log.Note(node + ": max_hw_sectors_kb " + std::to_string(limitKb));

  const CliRun update = cli.Run({"--yes", "update", device.value("path", ""), first});
  log.Note(Describe("update " + device.value("path", ""), update));
  const std::string wrong = Mismatch(FlashOf(gadget, workDir), ReadBytes(first), before, *preset);
  if (!wrong.empty()) {
    log.Note(wrong);
  }
  log.Check(update.Code == 0 && Claimed(update) && wrong.empty() && limitKb > 0 &&
                limitKb * 1024 < kImageBytes,
            "large " + key + ": the update through a node that carries " + std::to_string(limitKb) +
                " KB a command exits 0 and the flash holds the image, its configuration area "
                "kept");
  const Bytes updated = FlashOf(gadget, workDir);

  // The same unit, a second image; the cable goes once the flash is being programmed.
  const fs::path errFile = fs::path(workDir) / "pull.err";
  std::error_code ignored;
  fs::remove(errFile, ignored);
  const StartedRun running = cli.Start(
      {"--progress", "--yes", "update", device.value("path", ""), second}, errFile.string());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPullWaitSeconds);
  int percent = -1;
  while ((percent = UpdatePercent(errFile)) < kPullAtPercent &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const std::string unplugged = GadgetClient(gadget.Socket).Unplug();
  const CliRun pulled = cli.Finish(running);
  log.Note(Describe("update pulled at " + std::to_string(percent) + " %", pulled));
  const Bytes halfway = FlashOf(gadget, workDir);
  const bool neitherWhole =
      !Mismatch(halfway, ReadBytes(second), updated, *preset).empty() &&
      !(halfway.size() >= kImageBytes && updated.size() >= kImageBytes &&
        std::equal(updated.begin(), updated.begin() + kImageBytes, halfway.begin()));
  log.Check(unplugged == "ok" && percent >= kPullAtPercent && pulled.Code != 0 &&
                !Claimed(pulled) && neitherWhole,
            "large " + key + ": pulled at " + std::to_string(percent) +
                " %, the update fails without claiming success and the flash holds neither "
                "image whole");

  const std::string plugged = GadgetClient(gadget.Socket).Plug();
  const nlohmann::json back = WaitForPendingRecovery(relist);
  log.Check(plugged == "ok" && back.is_object() && back.value("recovery_pending", false),
            "large " + key + ": plugged back, list shows its recovery pending");
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
  log.Check(recovery.Code == 0 && areaBack,
            "large " + key +
                ": info --yes puts the configuration area back from the journal, "
                "byte for byte");

  const CliRun again = cli.Run({"--yes", "update", path, second});
  log.Note(Describe("update " + path, again));
  const std::string still = Mismatch(FlashOf(gadget, workDir), ReadBytes(second), before, *preset);
  if (!still.empty()) {
    log.Note(still);
  }
  log.Check(again.Code == 0 && Claimed(again) && still.empty(),
            "large " + key +
                ": the update after recovery exits 0 and the flash holds the second "
                "image with the unit's own configuration area");
}

}  // namespace q71x::guest
