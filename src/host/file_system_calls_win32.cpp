// SPDX-License-Identifier: GPL-2.0-or-later
#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "src/host/file_system_calls.h"

namespace q71x::host {
namespace {

namespace fs = std::filesystem;

HANDLE Native(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

std::string LastErrorText(DWORD error) {
  return std::system_category().message(static_cast<int>(error));
}

Step Failed(SafeWriteStatus status, std::string reason) {
  return Step{status, std::move(reason)};
}

// Callers that tell a refused access apart read errno, as they do on Linux.
void KeepErrno(DWORD error) {
  errno = error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_FILE_EXISTS ? EEXIST : EIO;
}

// A security descriptor that lets the current user alone in: the default one would let the
// folder's list decide, and an elevated program's files often inherit the Administrators' list.
// Without it (a token that cannot be read) files get the default.
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
      return;
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    LPWSTR sid = nullptr;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      // Protected (no inherited entries), full access for that one user.
      const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
      ::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                             &descriptor_, nullptr);
      ::LocalFree(sid);
    }
    ::CloseHandle(token);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  ~OwnerOnlySecurity() { ::LocalFree(descriptor_); }
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

void SetPlayedUser(std::optional<unsigned>) {}

Step OpenFolder(const fs::path& folder, Handle& opened) {
  const fs::path where = folder.empty() ? fs::path(L".") : folder;
  // Opened as the entry itself (a junction or a link is not followed), and without delete
  // sharing, so that nobody can move it away or swap it while the file is written.
  HANDLE handle = ::CreateFileW(where.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    Step step = Failed(SafeWriteStatus::NotCreated,
                       "cannot open the folder " + Printable(where) + ": " + LastErrorText(error));
    step.Missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    KeepErrno(error);
    return step;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handle);
    return Failed(SafeWriteStatus::RefusedFolder, Printable(where) + " is no folder");
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    ::CloseHandle(handle);
    return Failed(SafeWriteStatus::RefusedFolder,
                  "the folder " + Printable(where) + " is a link or junction; it is not followed");
  }
  opened = reinterpret_cast<Handle>(handle);
  return {};
}

void CloseFolder(Handle& folder) {
  if (folder != kNoHandle) {
    ::CloseHandle(Native(folder));
    folder = kNoHandle;
  }
}

Step MakeFolderIn(Handle, const fs::path& folder) {
  OwnerOnlySecurity security;
  if (!::CreateDirectoryW(folder.c_str(), security.Attributes()) &&
      ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return Failed(SafeWriteStatus::NotCreated,
                  "cannot create " + Printable(folder) + ": " + LastErrorText(::GetLastError()));
  }
  Handle made = kNoHandle;
  Step step = OpenFolder(folder, made);
  CloseFolder(made);
  return step;
}

// A folder made here is owner-only from the start; one found is left to its list.
void MakeOwnerOnly(Handle) {}

Step CheckName(Handle, const fs::path& target, ExistingFile existing) {
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return {};
  }
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return Failed(SafeWriteStatus::RefusedLink,
                  Printable(target) + " is a link; it is not followed");
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    return Failed(SafeWriteStatus::RefusedSpecial,
                  Printable(target) + " is not a plain file (a folder or a device)");
  }
  if (existing == ExistingFile::Keep) {
    return Failed(SafeWriteStatus::AlreadyThere, Printable(target) + " exists; it is kept");
  }
  return {};
}

Step CreateTemporary(Handle, const fs::path& temporary, FileAccess access, Handle& file) {
  OwnerOnlySecurity security;
  // CREATE_NEW fails on anything at the name, a link included.
  HANDLE handle =
      ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0,
                    access == FileAccess::OwnerOnly ? security.Attributes() : nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    Step step = Failed(SafeWriteStatus::NotCreated,
                       "cannot create " + Printable(temporary) + ": " + LastErrorText(error));
    step.Taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    KeepErrno(error);
    return step;
  }
  file = reinterpret_cast<Handle>(handle);
  return {};
}

Step WriteAll(Handle file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(Native(file), data, chunk, &written, nullptr) || written == 0) {
      return Failed(SafeWriteStatus::Incomplete,
                    "writing failed: " + LastErrorText(::GetLastError()));
    }
    data += written;
    size -= written;
  }
  return {};
}

Step FlushAndClose(Handle& file) {
  const bool flushed = ::FlushFileBuffers(Native(file)) != 0;
  const DWORD error = ::GetLastError();
  const bool closed = ::CloseHandle(Native(file)) != 0;
  file = kNoHandle;
  if (!flushed || !closed) {
    return Failed(SafeWriteStatus::Incomplete,
                  "flushing to disk failed: " + LastErrorText(flushed ? ::GetLastError() : error));
  }
  return {};
}

void CloseFile(Handle& file) {
  if (file != kNoHandle) {
    ::CloseHandle(Native(file));
    file = kNoHandle;
  }
}

Step PutInPlace(Handle, const fs::path& temporary, const fs::path& target, ExistingFile existing) {
  // Write-through returns once the new name is on disk.
  const DWORD flags =
      MOVEFILE_WRITE_THROUGH | (existing == ExistingFile::Replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!::MoveFileExW(temporary.c_str(), target.c_str(), flags)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    const bool taken = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
    return Failed(taken ? SafeWriteStatus::AlreadyThere : SafeWriteStatus::Incomplete,
                  "putting " + Printable(target) + " in place failed: " + LastErrorText(error));
  }
  return {};
}

void RemoveTemporary(Handle, const fs::path& temporary) {
  ::DeleteFileW(temporary.c_str());
}

}  // namespace q71x::host
#endif  // _WIN32
