// SPDX-License-Identifier: GPL-2.0-or-later
#include "gadget/guest/cli_steps.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "gadget/guest/cli_large_update.h"
#include "gadget/guest/cli_runner.h"
#include "gadget/guest/gadget_client.h"
#include "gadget/guest/seat_access.h"
#include "sim/hardware_presets.h"
#include "sim/presets.h"
#include "src/simhost/sample_images.h"
#include "src/simhost/sim_state_folder.h"

namespace q71x::guest {
namespace {

constexpr int kListWaitSeconds = 90;
// The image's code between its header (and the descriptor the disk-kept families rewrite) and
// the configuration area at 0x8000 that several families keep: what an update must leave in
// the memory.
constexpr std::size_t kCodeStart = 4096;
constexpr std::size_t kCodeEnd = 0x8000;

struct PresetFacts {
  int ChipType = 0;
  const char* MemoryFile = kFlashFileName;
  int FlashPart = -1;  // parallel-flash families: the item of the flash-type list
};

std::optional<PresetFacts> FactsOf(const std::string& key) {
  if (const sim::SerialFlashPreset* serial = sim::FindSerialFlashPreset(key)) {
    return PresetFacts{serial->ChipType, kFlashFileName, -1};
  }
  const sim::HardwarePreset* hardware = sim::FindHardwarePreset(key);
  if (hardware == nullptr) {
    return std::nullopt;
  }
  switch (hardware->Home) {
    case sim::FirmwareHome::ParallelFlash:
      return PresetFacts{hardware->ChipType, kParallelFlashFileName, hardware->ParallelPart};
    case sim::FirmwareHome::DiskArea:
      return PresetFacts{hardware->ChipType, kDiskAreaFileName, -1};
    default:
      return PresetFacts{hardware->ChipType, kFlashFileName, -1};
  }
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Contains(const std::vector<std::uint8_t>& haystack, const std::vector<std::uint8_t>& needle) {
  return !needle.empty() && std::search(haystack.begin(), haystack.end(), needle.begin(),
                                        needle.end()) != haystack.end();
}

// The gadget's memory holding the preset's firmware, as it is now.
std::vector<std::uint8_t> MemoryOf(const CliGadget& gadget, const PresetFacts& facts,
                                   const std::filesystem::path& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  if (GadgetClient(gadget.Socket).SaveMemories(folder.string()) != "ok") {
    return {};
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    if (entry.is_directory()) {
      return ReadBytes(entry.path() / facts.MemoryFile);
    }
  }
  return {};
}

// The listed bridge of the gadget's chip and USB serial number; null when there is not one.
nlohmann::json FindListed(const CliRun& run, int chipType, const std::string& serial) {
  nlohmann::json found;
  int matches = 0;
  if (run.Json.is_object() && run.Json["devices"].is_array()) {
    for (const nlohmann::json& device : run.Json["devices"]) {
      const nlohmann::json& identity = device["identity"];
      if (device.value("chip_type", -1) == chipType && identity.is_object() &&
          identity.value("usb_serial", "") == serial) {
        found = device;
        ++matches;
      }
    }
  }
  return matches == 1 ? found : nlohmann::json();
}

// Lists until every gadget's chip is there once, or the wait runs out; the devices by preset.
std::vector<nlohmann::json> ListGadgets(StepLog& log, const CliRunner& cli,
                                        const CliGuestConfig& config,
                                        const std::vector<PresetFacts>& facts,
                                        const std::vector<std::string>& serials) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kListWaitSeconds);
  for (;;) {
    const CliRun run = cli.Run({"list"});
    std::vector<nlohmann::json> found(config.Gadgets.size());
    bool all = run.Code == 0 && run.Json.is_object() && run.Json["devices"].is_array();
    for (std::size_t i = 0; all && i < config.Gadgets.size(); ++i) {
      found[i] = FindListed(run, facts[i].ChipType, serials[i]);
      all = found[i].is_object();
    }
    if (all || std::chrono::steady_clock::now() > deadline) {
      log.Note(Describe("list", run));
      if (run.Json.is_object() && run.Json["devices"].is_array()) {
        for (const nlohmann::json& device : run.Json["devices"]) {
          log.Note("listed: " + device.dump());
        }
      }
      log.Check(all, "cli: list --json names each of the " + std::to_string(config.Gadgets.size()) +
                         " bridges once, by its chip type and USB serial number");
      if (all) {
        bool usb = true;
        bool versions = true;
        for (const nlohmann::json& device : found) {
          usb &= device.value("bus", "") == "usb";
          versions &= !device.value("firmware_version", "").empty();
        }
        log.Check(usb && versions,
                  "cli: list --json gives each bridge its bus (usb) and firmware version");
        return found;
      }
      return {};
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
  }
}

void CheckBackupAndUpdate(StepLog& log, const CliRunner& cli, const CliGuestConfig& config,
                          const CliGadget& gadget, const PresetFacts& facts,
                          const nlohmann::json& device) {
  const std::string key = gadget.PresetKey;
  const std::string path = device.value("path", "");
  const std::filesystem::path work = config.WorkDir;
  const std::vector<std::uint8_t> before = MemoryOf(gadget, facts, work / (key + "-before"));
  if (!log.Check(!before.empty(), "cli " + key + ": the gadget hands out its " + facts.MemoryFile +
                                      " (" + std::to_string(before.size()) + " bytes)")) {
    return;
  }

  const std::string backupFile = (work / (key + "-backup.bin")).string();
  const CliRun backup = cli.Run({"backup", path, backupFile});
  log.Note(Describe("backup " + path, backup));
  const std::vector<std::uint8_t> saved = ReadBytes(backupFile);
  log.Check(backup.Code == 0 && Contains(before, saved),
            "cli " + key + ": backup exits 0 and its " + std::to_string(saved.size()) +
                "-byte file is what the memory holds");

  const std::filesystem::path image = work / "images" / (key + ".bin");
  const std::vector<std::uint8_t> imageBytes = ReadBytes(image);
  const std::vector<std::uint8_t> code(
      imageBytes.begin() + static_cast<std::ptrdiff_t>(std::min(kCodeStart, imageBytes.size())),
      imageBytes.begin() + static_cast<std::ptrdiff_t>(std::min(kCodeEnd, imageBytes.size())));
  if (!log.Check(!code.empty() && !Contains(before, code),
                 "cli " + key + ": the sample image is not in the memory yet")) {
    return;
  }
  std::vector<std::string> args = {"--yes", "update", path, image.string()};
  if (facts.FlashPart >= 0) {
    args.insert(args.begin(), {"--flash-part", std::to_string(facts.FlashPart)});
  }
  const CliRun update = cli.Run(args);
  log.Note(Describe("update " + path, update));
  const bool claimed = update.Json.is_object() && update.Json.contains("run") &&
                       update.Json["run"].value("claimed_success", false);
  log.Check(update.Code == 0 && claimed,
            "cli " + key + ": update exits 0 (a power cycle asked too) and claims success");
  const std::vector<std::uint8_t> after = MemoryOf(gadget, facts, work / (key + "-after"));
  log.Check(Contains(after, code), "cli " + key + ": the memory holds the image's code afterwards");

  std::vector<std::uint8_t> automatic;
  if (update.Json.is_object() && update.Json["auto_backup"].is_object() &&
      update.Json["auto_backup"].value("proven", false)) {
    automatic = ReadBytes(update.Json["auto_backup"].value("file", ""));
  }
  log.Check(Contains(before, automatic),
            "cli " + key +
                ": the automatic backup before the update is proven and holds the "
                "memory as it was");
}

// The seat's user reads the images and writes its backups and diagnostics in the work folder.
bool HandWorkFolderTo(const std::optional<SeatUser>& user, const std::filesystem::path& folder) {
  if (!user) {
    return true;
  }
  bool ok = ::chown(folder.c_str(), user->Uid, user->Gid) == 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ec)) {
    ok &= ::lchown(entry.path().c_str(), user->Uid, user->Gid) == 0;
  }
  return ok && !ec;
}

std::string SerialOf(const std::string& socket) {
  const std::string answer = GadgetClient(socket).Serial();
  return answer.rfind("ok ", 0) == 0 ? answer.substr(3) : std::string();
}

}  // namespace

void CheckCommandLine(StepLog& log, const CliGuestConfig& config) {
  std::vector<PresetFacts> facts;
  std::vector<std::string> serials;
  for (const CliGadget& gadget : config.Gadgets) {
    const std::optional<PresetFacts> preset = FactsOf(gadget.PresetKey);
    if (!log.Check(preset.has_value(), "cli: " + gadget.PresetKey + " is a known preset")) {
      return;
    }
    facts.push_back(*preset);
    serials.push_back(SerialOf(gadget.Socket));
  }
  const std::vector<std::string> unwritten =
      WritePresetSampleImages(std::filesystem::path(config.WorkDir) / "images");
  if (!log.Check(unwritten.empty() && HandWorkFolderTo(config.User, config.WorkDir),
                 "cli: the sample images are written" +
                     std::string(config.User ? " and the work folder is the seat user's" : ""))) {
    return;
  }
  ::setenv("XDG_DATA_HOME", (config.WorkDir + "/data").c_str(), 1);
  const CliRunner cli(config.Program, config.WorkDir, config.User);
  const std::vector<nlohmann::json> devices = ListGadgets(log, cli, config, facts, serials);
  if (config.User && !devices.empty()) {
    std::vector<std::string> nodes;
    for (const nlohmann::json& device : devices) {
      nodes.push_back(SgNodeOf(device));
    }
    CheckSeatAccess(log, *config.User, nodes);
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    CheckBackupAndUpdate(log, cli, config, config.Gadgets[i], facts[i], devices[i]);
  }
  if (!config.Large || devices.empty()) {
    return;
  }
  LargeFlashGadget large{config.Large->PresetKey, config.Large->Socket,
                         SerialOf(config.Large->Socket)};
  const std::optional<PresetFacts> largeFacts = FactsOf(large.PresetKey);
  const auto relist = [&]() {
    return largeFacts ? FindListed(cli.Run({"list"}), largeFacts->ChipType, large.Serial)
                      : nlohmann::json();
  };
  const nlohmann::json device = relist();
  if (log.Check(device.is_object(), "large: list --json names the " + large.PresetKey +
                                        " bridge with the larger flash (serial " + large.Serial +
                                        ")")) {
    CheckLargeUpdateAndPull(log, cli, config.WorkDir, large, device, relist);
  }
}

}  // namespace q71x::guest
