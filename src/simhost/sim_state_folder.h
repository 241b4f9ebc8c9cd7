// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The simulator executable keeps each simulated enclosure's memories in plain files under a state
// folder, so that an update survives a restart as it would on hardware and the flash can be
// looked at with ordinary tools:
//   <state>/<enclosure>/flash.bin              serial flash, whole part
//   <state>/<enclosure>/controller-memory.bin  bridge controller memory (64 KB)
//   <state>/<enclosure>/parallel-flash.bin     parallel NOR flash, whole part
//   <state>/<enclosure>/disk-area.bin          attached disk from its last reported block to the
//                                              end of the reserved area
// <enclosure> is the device path with every character outside [a-z0-9.-] made "_".

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "src/host/unit_lock.h"

namespace q71x::sim {
class SimulatedSystem;
struct Enclosure;
}  // namespace q71x::sim

namespace q71x {

inline constexpr const char* kFlashFileName = "flash.bin";
inline constexpr const char* kControllerMemoryFileName = "controller-memory.bin";
inline constexpr const char* kParallelFlashFileName = "parallel-flash.bin";
inline constexpr const char* kDiskAreaFileName = "disk-area.bin";
inline constexpr const char* kStateLockName = "state";
inline constexpr std::chrono::milliseconds kStateLockWait{30000};

class SimStateFolder {
 public:
  explicit SimStateFolder(std::filesystem::path root) : root_(std::move(root)) {}

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path EnclosureFolder(const std::string& devicePath) const;
  // The simulated machine's recovery journal lives with its memories.
  std::filesystem::path JournalFolder() const { return root_ / "journal"; }

  // Both take the folder's lock for their time, so that programs started together on one folder
  // neither read half-written files nor write what another program saved meanwhile.
  // Loads what an earlier run left into every enclosure of the system. A file whose size does
  // not fit its memory is left alone (the preset's contents stay) and named in the result.
  // The bridges then read their descriptors again, as on a machine starting with these
  // memories: one whose configuration area the folder keeps blank shows its default serial. What
  // names a unit (serial, port, GUID) comes from its device path, so the folder needs no file
  // of its own for it.
  std::vector<std::string> Restore(sim::SimulatedSystem& system) const;
  // Loads into the enclosure at `devicePath` what another program saved of it since this object
  // last read or wrote its files, so that a run of a long session starts from the memories the
  // folder holds now. Called once the unit is owned: nobody saves it from then until the run's
  // own save. Returns the files left out, as Restore does.
  std::vector<std::string> CatchUp(sim::SimulatedSystem& system,
                                   const std::string& devicePath) const;
  // Writes every enclosure's memories. Each file is written whole under a temporary name and
  // then renamed, so a crash never leaves half a flash behind. A file that already holds the
  // memory's bytes is left alone, and so is a memory that still holds what Restore found (or,
  // where no file was, what it started from, unless the file is still missing): another program
  // may have saved it since. A file another program wrote since this object last read or wrote
  // it is never overwritten: it is named among the failures, with why. Returns the files that
  // could not be written (for a refused enclosure folder, why).
  std::vector<std::string> Save(sim::SimulatedSystem& system) const;

 private:
  AdvisoryLock LockFolder(std::vector<std::string>& problems) const;
  // A file that was missing when Restore ran and still is: the memory is its first copy.
  bool StillMissing(const std::filesystem::path& file) const;
  // Restore loads every file the folder holds; a catch-up only those another program wrote.
  enum class Loading { EveryFile, NewerFiles };
  void LoadEnclosure(sim::Enclosure& enclosure, Loading loading,
                     std::vector<std::string>& ignored) const;
  // `conflict`: not written because another program wrote the file since.
  bool WriteIfChanged(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                      bool& conflict) const;

  std::filesystem::path root_;
  // What each file holds as this object last read or wrote it: a run that changed nothing (a
  // list, a check) then compares in memory instead of reading megabytes back from the folder.
  mutable std::map<std::filesystem::path, std::vector<std::uint8_t>> known_;
  mutable std::set<std::filesystem::path> missingAtStart_;
};

// The user's data folder for the simulator's state (each front end asks its own platform).
std::filesystem::path DefaultSimStateFolder();

}  // namespace q71x
