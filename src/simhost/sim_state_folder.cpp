// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/simhost/sim_state_folder.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <span>
#include <system_error>

#include "sim/attached_disk.h"
#include "sim/enclosure.h"
#include "sim/serial_flash.h"
#include "sim/simulated_system.h"
#include "src/host/safe_file_write.h"
#include "src/host/unit_lock.h"
#include "src/host/user_data_folder.h"
#include "src/host/utf8_path.h"
#include "src/host/whole_file.h"

namespace q71x {
namespace {

constexpr const char* kNewerElsewhereText =
    " (another program saved it since; its copy is kept, this one's change is not)";

// Larger disk areas are not kept: the file is meant to be looked at, not to mirror a drive.
constexpr std::uint64_t kMaxDiskAreaBytes = 64ull * 1024 * 1024;

bool FileHolds(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::error_code error;
  if (std::filesystem::file_size(path, error) != bytes.size() || error) {
    return false;
  }
  const std::optional<std::vector<std::uint8_t>> held = ReadWholeFile(path);
  return held && std::equal(held->begin(), held->end(), bytes.begin(), bytes.end());
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::string reason;
  return WriteFileSafely(path, bytes.data(), bytes.size(), FileAccess::OwnerOnly, reason) ==
         SafeWriteStatus::Written;
}

struct DiskArea {
  std::uint64_t FirstLba = 0;
  std::uint32_t Count = 0;
};

// The last block the bridge reports and the reserved area behind it: where the bridges that
// keep their firmware on the disk keep it.
std::optional<DiskArea> DiskAreaOf(const sim::AttachedDisk& disk) {
  const std::uint64_t reported = disk.Geometry().ReportedSectors;
  const std::uint64_t first = reported > 0 ? reported - 1 : 0;
  const std::uint64_t count = disk.EndSector() - first;
  if (count == 0 || count * disk.BlockSize() > kMaxDiskAreaBytes) {
    return std::nullopt;
  }
  return DiskArea{first, static_cast<std::uint32_t>(count)};
}

// Every sector of the area that the disk model does not answer as `bytes` holds it, in order,
// until `visit` returns false.
template <typename Visit>
void ForEachDifferingSector(const sim::AttachedDisk& disk, const DiskArea& area,
                            std::span<const std::uint8_t> bytes, Visit visit) {
  const std::size_t size = disk.BlockSize();
  std::vector<std::uint8_t> sector(size);
  for (std::uint32_t i = 0; i < area.Count; ++i) {
    const std::span<const std::uint8_t> wanted = bytes.subspan(i * size, size);
    const bool same = disk.Read(area.FirstLba + i, 1, sector) && std::ranges::equal(sector, wanted);
    if (!same && !visit(area.FirstLba + i, wanted)) {
      return;
    }
  }
}

// The disk model keeps only the sectors written to it: a sector the file holds as the model
// already answers it (most of a reserved area that was never written) is left unwritten.
void WriteDifferingSectors(sim::AttachedDisk& disk, const DiskArea& area,
                           std::span<const std::uint8_t> bytes) {
  ForEachDifferingSector(disk, area, bytes,
                         [&disk](std::uint64_t lba, std::span<const std::uint8_t> wanted) {
                           disk.Write(lba, 1, wanted);
                           return true;
                         });
}

// Whether the disk area still holds these bytes, read a sector at a time.
bool DiskAreaHolds(const sim::AttachedDisk& disk, const DiskArea& area,
                   std::span<const std::uint8_t> bytes) {
  if (bytes.size() != static_cast<std::size_t>(area.Count) * disk.BlockSize()) {
    return false;
  }
  bool holds = true;
  ForEachDifferingSector(disk, area, bytes, [&holds](std::uint64_t, std::span<const std::uint8_t>) {
    holds = false;
    return false;
  });
  return holds;
}

}  // namespace

std::filesystem::path SimStateFolder::EnclosureFolder(const std::string& devicePath) const {
  std::string name = devicePath;
  for (char& c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!(std::islower(u) || std::isdigit(u) || c == '.' || c == '-')) {
      c = '_';
    }
  }
  return root_ / name;
}

AdvisoryLock SimStateFolder::LockFolder(std::vector<std::string>& problems) const {
  LockAttempt attempt = WaitForLock(root_, kStateLockName, kStateLockWait);
  if (!attempt.Taken()) {
    problems.push_back(PathToUtf8(root_) + " (" +
                       (attempt.Problem.empty()
                            ? "its lock is held by process " + std::to_string(attempt.HolderPid)
                            : attempt.Problem) +
                       ")");
  }
  return std::move(attempt.Lock);
}

void SimStateFolder::LoadEnclosure(sim::Enclosure& enclosure, Loading loading,
                                   std::vector<std::string>& ignored) const {
  const std::filesystem::path folder = EnclosureFolder(enclosure.Path);
  sim::BridgeState& bridge = enclosure.Bridge;
  // `current`: what the memory holds before anything is loaded into it.
  auto load = [&](const char* fileName, std::span<const std::uint8_t> current, auto&& apply) {
    const std::filesystem::path file = folder / fileName;
    const auto known = known_.find(file);
    if (!std::filesystem::exists(file)) {
      if (loading == Loading::EveryFile) {
        // What this run starts from: the save compares with it, not with what another
        // program may have written since, so a memory this run never touched is not written.
        known_[file].assign(current.begin(), current.end());
        missingAtStart_.insert(file);
      }
      return;
    }
    const auto bytes = ReadWholeFile(file);
    if (!bytes || bytes->size() != current.size()) {
      ignored.push_back(PathToUtf8(file));
      return;
    }
    if (loading == Loading::NewerFiles && known != known_.end() && known->second == *bytes) {
      return;  // nobody wrote it since this object last read or wrote it
    }
    apply(*bytes);
    known_[file] = std::move(*bytes);
    missingAtStart_.erase(file);
  };
  if (bridge.Flash) {
    load(kFlashFileName, bridge.Flash->Contents(),
         [&](const std::vector<std::uint8_t>& bytes) { bridge.Flash->Load(0, bytes); });
  }
  load(kControllerMemoryFileName, bridge.ControllerMemory,
       [&](const std::vector<std::uint8_t>& bytes) { bridge.ControllerMemory = bytes; });
  if (bridge.Parallel) {
    load(kParallelFlashFileName, bridge.Parallel->Flash.Contents(),
         [&](const std::vector<std::uint8_t>& bytes) { bridge.Parallel->Flash.Preload(0, bytes); });
  }
  if (bridge.Disk) {
    if (const auto area = DiskAreaOf(*bridge.Disk)) {
      std::vector<std::uint8_t> current(static_cast<std::size_t>(area->Count) *
                                        bridge.Disk->BlockSize());
      if (bridge.Disk->Read(area->FirstLba, area->Count, current)) {
        load(kDiskAreaFileName, current, [&](const std::vector<std::uint8_t>& bytes) {
          WriteDifferingSectors(*bridge.Disk, *area, bytes);
        });
      }
    }
  }
}

std::vector<std::string> SimStateFolder::Restore(sim::SimulatedSystem& system) const {
  std::vector<std::string> ignored;
  const AdvisoryLock lock = LockFolder(ignored);
  for (const auto& enclosure : system.Enclosures()) {
    LoadEnclosure(*enclosure, Loading::EveryFile, ignored);
  }
  system.ReadDescriptorsAgain();
  return ignored;
}

std::vector<std::string> SimStateFolder::CatchUp(sim::SimulatedSystem& system,
                                                 const std::string& devicePath) const {
  std::vector<std::string> ignored;
  const AdvisoryLock lock = LockFolder(ignored);
  if (sim::Enclosure* enclosure = system.Find(devicePath)) {
    LoadEnclosure(*enclosure, Loading::NewerFiles, ignored);
  }
  return ignored;
}

bool SimStateFolder::WriteIfChanged(const std::filesystem::path& file,
                                    std::span<const std::uint8_t> bytes, bool& conflict) const {
  const auto known = known_.find(file);
  if (known != known_.end() && std::ranges::equal(known->second, bytes) && !StillMissing(file)) {
    return true;
  }
  if (known == known_.end() && FileHolds(file, bytes)) {
    known_[file].assign(bytes.begin(), bytes.end());
    return true;
  }
  // A file that no longer holds what this object last read or wrote of it was saved by another
  // program since: its write is the newer one and stays.
  std::error_code error;
  if (std::filesystem::exists(file, error) &&
      (known == known_.end() || !FileHolds(file, known->second))) {
    conflict = true;
    return false;
  }
  // A write that fails leaves the file as it was, and what this object knows of it stands.
  if (!WriteWholeFile(file, bytes)) {
    return false;
  }
  known_[file].assign(bytes.begin(), bytes.end());
  missingAtStart_.erase(file);
  return true;
}

bool SimStateFolder::StillMissing(const std::filesystem::path& file) const {
  std::error_code error;
  return missingAtStart_.count(file) != 0 && !std::filesystem::exists(file, error);
}

std::vector<std::string> SimStateFolder::Save(sim::SimulatedSystem& system) const {
  std::vector<std::string> failed;
  const AdvisoryLock lock = LockFolder(failed);
  for (const auto& enclosure : system.Enclosures()) {
    const std::filesystem::path folder = EnclosureFolder(enclosure->Path);
    if (std::string folderProblem = MakeOwnFolder(folder); !folderProblem.empty()) {
      // Every enclosure's folder fails alike when the state folder is refused: told once.
      if (std::ranges::find(failed, folderProblem) == failed.end()) {
        failed.push_back(folderProblem);
      }
      continue;
    }
    auto save = [&](const char* fileName, std::span<const std::uint8_t> bytes) {
      const std::filesystem::path file = folder / fileName;
      bool conflict = false;
      if (!WriteIfChanged(file, bytes, conflict)) {
        failed.push_back(PathToUtf8(file) + (conflict ? kNewerElsewhereText : ""));
      }
    };
    const sim::BridgeState& bridge = enclosure->Bridge;
    if (bridge.Flash) {
      save(kFlashFileName, bridge.Flash->Contents());
    }
    save(kControllerMemoryFileName, bridge.ControllerMemory);
    if (bridge.Parallel) {
      save(kParallelFlashFileName, bridge.Parallel->Flash.Contents());
    }
    if (bridge.Disk) {
      if (const auto area = DiskAreaOf(*bridge.Disk)) {
        // Compared a sector at a time first: the area can be megabytes, mostly never written.
        const std::filesystem::path file = folder / kDiskAreaFileName;
        const auto known = known_.find(file);
        const bool unchanged = known != known_.end() && !StillMissing(file) &&
                               DiskAreaHolds(*bridge.Disk, *area, known->second);
        if (!unchanged) {
          std::vector<std::uint8_t> bytes(static_cast<std::size_t>(area->Count) *
                                          bridge.Disk->BlockSize());
          if (bridge.Disk->Read(area->FirstLba, area->Count, bytes)) {
            save(kDiskAreaFileName, bytes);
          } else {
            failed.push_back(PathToUtf8(file));
          }
        }
      }
    }
  }
  return failed;
}

std::filesystem::path DefaultSimStateFolder() {
  return UserDataFolder() / "q71xfwtool-sim";
}

}  // namespace q71x
