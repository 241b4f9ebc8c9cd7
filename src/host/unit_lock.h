// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Advisory locks between the programs of this tool on one machine: one owner per bridge. A lock
// is a file in a per-user folder, held while an open handle to it holds the system's lock, so a
// program that dies lets go at once; the holder's process id is written in the file for the
// others to name. Nothing here talks to a device.
//
// Linux: flock() on files in $XDG_RUNTIME_DIR/q71xfwtool/locks, else /tmp/q71xfwtool-<uid>/locks
// (0700, owned by the user, no symbolic links). Windows: LockFileEx on files in
// %LOCALAPPDATA%\q71xfwtool\locks.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace q71x {

struct LockAttempt;

class AdvisoryLock {
 public:
  AdvisoryLock() = default;
  ~AdvisoryLock();
  AdvisoryLock(AdvisoryLock&& other) noexcept;
  AdvisoryLock& operator=(AdvisoryLock&& other) noexcept;
  AdvisoryLock(const AdvisoryLock&) = delete;
  AdvisoryLock& operator=(const AdvisoryLock&) = delete;

  bool Held() const { return handle_ != kNone; }
  void Release();

 private:
  friend LockAttempt TryLock(const std::filesystem::path& folder, const std::string& key);
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;
};

struct LockAttempt {
  AdvisoryLock Lock;    // held when it was taken
  long HolderPid = 0;   // not taken: the process that holds it (0: it did not say yet)
  std::string Problem;  // not taken because the folder or file cannot be used
  bool Taken() const { return Lock.Held(); }
};

// Takes the lock `key` (any text) in `folder`, which is created as needed, without waiting for
// a holder.
LockAttempt TryLock(const std::filesystem::path& folder, const std::string& key);

// Like TryLock, but waits up to `limit` for a holder to let go.
LockAttempt WaitForLock(const std::filesystem::path& folder, const std::string& key,
                        std::chrono::milliseconds limit);

// Whether another open of the lock holds it now, and that holder's process id (0: unknown).
// Takes nothing that outlives the call.
std::optional<long> LockHolder(const std::filesystem::path& folder, const std::string& key);

// The per-user folder for this tool's lock files; empty when none can be had safely.
std::filesystem::path DefaultLockFolder();

// Where the front ends keep their unit locks; empty (the default, as in tests): no locks.
const std::filesystem::path& UnitLockFolder();
void SetUnitLockFolder(std::filesystem::path folder);

class ScopedUnitLockFolder {
 public:
  explicit ScopedUnitLockFolder(std::filesystem::path folder) : previous_(UnitLockFolder()) {
    SetUnitLockFolder(std::move(folder));
  }
  ~ScopedUnitLockFolder() { SetUnitLockFolder(previous_); }
  ScopedUnitLockFolder(const ScopedUnitLockFolder&) = delete;
  ScopedUnitLockFolder& operator=(const ScopedUnitLockFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace q71x
