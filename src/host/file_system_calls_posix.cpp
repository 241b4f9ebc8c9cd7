// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "src/host/file_system_calls.h"

namespace q71x::host {
namespace {

namespace fs = std::filesystem;

std::optional<unsigned> playedUser;

std::string ErrnoText(int error) {
  return std::generic_category().message(error);
}

Step Failed(SafeWriteStatus status, std::string reason) {
  return Step{status, std::move(reason)};
}

int Fd(Handle handle) {
  return static_cast<int>(handle);
}

// Names inside the open folder: the last component only.
std::string NameIn(const fs::path& path) {
  return path.filename().string();
}

unsigned EffectiveUser() {
  return playedUser.value_or(static_cast<unsigned>(::geteuid()));
}

Step CheckOwner(int fd, const fs::path& folder) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    return Failed(SafeWriteStatus::NotCreated,
                  "cannot look at " + Printable(folder) + ": " + ErrnoText(errno));
  }
  if (EffectiveUser() == 0 && info.st_uid != 0) {
    return Failed(SafeWriteStatus::RefusedFolder,
                  Printable(folder) + " belongs to user " + std::to_string(info.st_uid) +
                      " and this program runs as root: root writes only into folders of its own "
                      "(choose another folder, or run the program as that user)");
  }
  return {};
}

Step Opened(int fd, const fs::path& folder, Handle& opened) {
  const int error = errno;
  if (fd < 0) {
    Step step;
    struct stat info {};
    // A link at the name fails as ELOOP or, with O_DIRECTORY, as ENOTDIR: the entry tells.
    if ((error == ELOOP || error == ENOTDIR) && ::lstat(folder.c_str(), &info) == 0 &&
        S_ISLNK(info.st_mode)) {
      step = Failed(SafeWriteStatus::RefusedFolder,
                    "the folder " + Printable(folder) + " is a symbolic link; it is not followed");
    } else if (error == ELOOP || error == ENOTDIR) {
      step = Failed(SafeWriteStatus::RefusedFolder, Printable(folder) + " is no folder");
    } else {
      step = Failed(SafeWriteStatus::NotCreated,
                    "cannot open the folder " + Printable(folder) + ": " + ErrnoText(error));
      step.Missing = error == ENOENT;
    }
    errno = error;
    return step;
  }
  if (Step owner = CheckOwner(fd, folder); !owner.Ok()) {
    ::close(fd);
    return owner;
  }
  opened = fd;
  return {};
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

}  // namespace

void SetPlayedUser(std::optional<unsigned> user) {
  playedUser = user;
}

Step OpenFolder(const fs::path& folder, Handle& opened) {
  const fs::path where = folder.empty() ? fs::path(".") : folder;
  return Opened(::open(where.c_str(), kFolderFlags), where, opened);
}

void CloseFolder(Handle& folder) {
  if (folder != kNoHandle) {
    ::close(Fd(folder));
    folder = kNoHandle;
  }
}

Step MakeFolderIn(Handle parent, const fs::path& folder) {
  if (::mkdirat(Fd(parent), NameIn(folder).c_str(), 0700) != 0 && errno != EEXIST) {
    return Failed(SafeWriteStatus::NotCreated,
                  "cannot create " + Printable(folder) + ": " + ErrnoText(errno));
  }
  // Whatever now stands at the name (ours, or one made in between) is judged as any folder is.
  Handle made = kNoHandle;
  Step step = Opened(::openat(Fd(parent), NameIn(folder).c_str(), kFolderFlags), folder, made);
  CloseFolder(made);
  return step;
}

void MakeOwnerOnly(Handle folder) {
  struct stat info {};
  if (::fstat(Fd(folder), &info) == 0 && (info.st_mode & 077) != 0) {
    ::fchmod(Fd(folder), info.st_mode & 0700);
  }
}

Step CheckName(Handle folder, const fs::path& target, ExistingFile existing) {
  struct stat info {};
  if (::fstatat(Fd(folder), NameIn(target).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) {
      return {};
    }
    return Failed(SafeWriteStatus::NotCreated,
                  "cannot look at " + Printable(target) + ": " + ErrnoText(errno));
  }
  if (S_ISLNK(info.st_mode)) {
    return Failed(SafeWriteStatus::RefusedLink,
                  Printable(target) + " is a symbolic link; it is not followed");
  }
  if (!S_ISREG(info.st_mode)) {
    return Failed(SafeWriteStatus::RefusedSpecial,
                  Printable(target) + " is not a plain file (a folder, FIFO, device or socket)");
  }
  if (existing == ExistingFile::Keep) {
    return Failed(SafeWriteStatus::AlreadyThere, Printable(target) + " exists; it is kept");
  }
  return {};
}

Step CreateTemporary(Handle folder, const fs::path& temporary, FileAccess access, Handle& file) {
  const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
  const int fd = ::openat(Fd(folder), NameIn(temporary).c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    const int error = errno;
    Step step = Failed(SafeWriteStatus::NotCreated,
                       "cannot create " + Printable(temporary) + ": " + ErrnoText(error));
    step.Taken = error == EEXIST;
    errno = error;
    return step;
  }
  file = fd;
  return {};
}

Step WriteAll(Handle file, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(Fd(file), data, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return Failed(SafeWriteStatus::Incomplete, "writing failed: " + ErrnoText(errno));
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return {};
}

Step FlushAndClose(Handle& file) {
  const bool flushed = ::fsync(Fd(file)) == 0;
  const int error = errno;
  const bool closed = ::close(Fd(file)) == 0;
  file = kNoHandle;
  if (!flushed || !closed) {
    return Failed(SafeWriteStatus::Incomplete,
                  "flushing to disk failed: " + ErrnoText(flushed ? errno : error));
  }
  return {};
}

void CloseFile(Handle& file) {
  if (file != kNoHandle) {
    ::close(Fd(file));
    file = kNoHandle;
  }
}

Step PutInPlace(Handle folder, const fs::path& temporary, const fs::path& target,
                ExistingFile existing) {
  const int dir = Fd(folder);
  const std::string from = NameIn(temporary);
  const std::string to = NameIn(target);
  if (existing == ExistingFile::Keep) {
    // A second name for the file fails where anything already has the name; the temporary
    // name then goes, whichever way it ended.
    const bool linked = ::linkat(dir, from.c_str(), dir, to.c_str(), 0) == 0;
    const int error = errno;
    ::unlinkat(dir, from.c_str(), 0);
    if (!linked) {
      return Failed(error == EEXIST ? SafeWriteStatus::AlreadyThere : SafeWriteStatus::Incomplete,
                    "putting " + Printable(target) + " in place failed: " + ErrnoText(error));
    }
  } else if (::renameat(dir, from.c_str(), dir, to.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(dir, from.c_str(), 0);
    return Failed(SafeWriteStatus::Incomplete,
                  "putting " + Printable(target) + " in place failed: " + ErrnoText(error));
  }
  // The new name is only as durable as the folder entry that holds it. Some file systems cannot
  // flush a folder; the file itself is on disk by now.
  ::fsync(dir);
  return {};
}

void RemoveTemporary(Handle folder, const fs::path& temporary) {
  ::unlinkat(Fd(folder), NameIn(temporary).c_str(), 0);
}

}  // namespace q71x::host
#endif  // !_WIN32
