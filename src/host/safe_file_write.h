// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Every file the programs write (backups and their records, traces, the recovery journal, the
// simulator's state, sample images, the remembered folder) goes through this one writer, because
// the tool may run as root in a folder, or under names, that somebody else prepared:
// - the destination folder is opened once, and never through a link at its own name; every later
//   step works relative to that open folder, so swapping the folder or a name inside it half way
//   through redirects nothing. Links higher up the path are followed: they are the system's and
//   the user's own layout (a home on another disk), and the checks below judge the folder the
//   path finally leads to.
// - the bytes go to a new file of an unpredictable name created exclusively (never through a
//   link, never into a FIFO), owner-only where asked, flushed to disk, and only then take the
//   name; the folder is flushed so that the new name survives a power cut. A failed write leaves
//   an earlier file of the name as it was.
// - a link, folder, FIFO, device or socket at the name is refused. (Should a link appear at the
//   name after that check, the rename replaces the link itself and never writes into its target.)
// - running as root, a folder that belongs to another user is refused: whoever owns the folder
//   could otherwise turn a write of root's against the system.
// Nothing is ever chmod-ed or chown-ed by its name.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace q71x {

enum class FileAccess {
  Default,    // as the user's umask allows (made-up sample images, meant to be passed around)
  OwnerOnly,  // 0600 on Linux, the current user alone on Windows: the file may hold someone's disk
};

// What an existing file of the name gets.
enum class ExistingFile {
  Replace,  // the new file takes its place in one step
  Keep,     // it stays; the write ends AlreadyThere
};

enum class SafeWriteStatus {
  Written,         // in place under its name, complete
  RefusedLink,     // a symbolic link stands at the name; nothing written
  RefusedSpecial,  // a folder, FIFO, device or socket stands at the name; nothing written
  RefusedFolder,   // the folder is a link or no folder, or root was to write into another user's
  AlreadyThere,    // ExistingFile::Keep and a file has the name; it is as it was
  NotCreated,      // no temporary file could be made beside the target; nothing written
  Incomplete,      // a write, the flush or the rename failed; the target is as it was
};

class SafeFileWriter {
 public:
  SafeFileWriter(std::filesystem::path target, FileAccess access,
                 ExistingFile existing = ExistingFile::Replace);
  // Removes the temporary file unless Commit() put it in place.
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Checks the folder and the name and creates the temporary file; Written when writing may
  // begin. On NotCreated errno still holds the system's reason.
  SafeWriteStatus Open();
  // False once any write has failed; later writes are not attempted.
  bool Write(const void* data, std::size_t size);
  // Flushes, closes and puts the file under its name; Written only when all of that succeeded.
  SafeWriteStatus Commit();

  // Why the last step failed, in words for the debugger channel; empty when nothing failed.
  const std::string& Reason() const { return reason_; }
  const std::filesystem::path& TemporaryPath() const { return temporary_; }

 private:
  void Discard();
  SafeWriteStatus Fail(SafeWriteStatus status, const std::string& what);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  FileAccess access_;
  ExistingFile existing_;
  // The open folder and the temporary file: descriptors on Linux, handles on Windows.
  std::intptr_t folder_ = -1;
  std::intptr_t file_ = -1;
  bool failed_ = false;
  bool committed_ = false;
  std::string reason_;
};

// The whole file in one call.
SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, const void* data,
                                std::size_t size, FileAccess access, std::string& reason,
                                ExistingFile existing = ExistingFile::Replace);

// A folder the programs keep their own files in (backups, the journal, the simulator's state).
// A missing one is made, with any missing folder above it, readable by its owner only, each
// inside its parent as opened without following a link at the parent's name. An existing folder
// that is a link, or (running as root) another user's, is refused and left as it is; OwnerOnly
// takes group and other access away from the folder itself, through the open folder. Empty on
// success, else why not.
enum class FolderAccess { AsFound, OwnerOnly };
std::string MakeOwnFolder(const std::filesystem::path& folder,
                          FolderAccess access = FolderAccess::AsFound);

// The user the root rule judges: the process's effective user unless a test plays another
// (the tests run as root in CI and as a user elsewhere; both must reach the refusal). Linux only.
void SetEffectiveUserForTesting(std::optional<unsigned> user);

}  // namespace q71x
