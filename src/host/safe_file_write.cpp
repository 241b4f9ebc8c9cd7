// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/host/safe_file_write.h"

#include <cerrno>
#include <random>
#include <utility>

#include "src/host/file_system_calls.h"

namespace q71x {
namespace fs = std::filesystem;
namespace {

// Twelve letters from the system's random source: somebody who wants a link or a FIFO waiting at
// the temporary name cannot know it beforehand. A name that is taken anyway is simply retried.
std::string RandomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device source;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof(kLetters) - 2);
  std::string suffix(12, 'a');
  for (char& c : suffix) {
    c = kLetters[pick(source)];
  }
  return suffix;
}

bool IsPlainName(const fs::path& name) {
  return !name.empty() && name != "." && name != "..";
}

}  // namespace

namespace host {
std::string Printable(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
}  // namespace host

void SetEffectiveUserForTesting(std::optional<unsigned> user) {
  host::SetPlayedUser(user);
}

SafeFileWriter::SafeFileWriter(fs::path target, FileAccess access, ExistingFile existing)
    : target_(std::move(target)), access_(access), existing_(existing) {}

SafeFileWriter::~SafeFileWriter() {
  if (!committed_) {
    Discard();
  }
  host::CloseFolder(folder_);
}

void SafeFileWriter::Discard() {
  host::CloseFile(file_);
  if (!temporary_.empty()) {
    host::RemoveTemporary(folder_, temporary_);
    temporary_.clear();
  }
}

SafeWriteStatus SafeFileWriter::Fail(SafeWriteStatus status, const std::string& what) {
  // Callers tell a refused access from other failures by errno.
  const int error = errno;
  reason_ = what;
  failed_ = true;
  Discard();
  errno = error;
  return status;
}

SafeWriteStatus SafeFileWriter::Open() {
  if (!IsPlainName(target_.filename())) {
    return Fail(SafeWriteStatus::RefusedSpecial, host::Printable(target_) + " names no file");
  }
  if (host::Step folder = host::OpenFolder(target_.parent_path(), folder_); !folder.Ok()) {
    return Fail(folder.Status, folder.Reason);
  }
  if (host::Step name = host::CheckName(folder_, target_, existing_); !name.Ok()) {
    return Fail(name.Status, name.Reason);
  }
  host::Step created;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = target_;
    candidate += ".partial-" + RandomSuffix();
    created = host::CreateTemporary(folder_, candidate, access_, file_);
    if (created.Ok()) {
      temporary_ = candidate;
      return SafeWriteStatus::Written;
    }
    if (!created.Taken) {
      break;
    }
  }
  return Fail(created.Status, created.Reason);
}

bool SafeFileWriter::Write(const void* data, std::size_t size) {
  if (failed_ || file_ == host::kNoHandle) {
    return false;
  }
  if (host::Step written = host::WriteAll(file_, static_cast<const char*>(data), size);
      !written.Ok()) {
    reason_ = host::Printable(temporary_) + ": " + written.Reason;
    failed_ = true;
    return false;
  }
  return true;
}

SafeWriteStatus SafeFileWriter::Commit() {
  if (failed_ || file_ == host::kNoHandle) {
    const std::string why = reason_.empty() ? "the file was never opened" : reason_;
    return Fail(SafeWriteStatus::Incomplete, why);
  }
  if (host::Step flushed = host::FlushAndClose(file_); !flushed.Ok()) {
    return Fail(flushed.Status, host::Printable(temporary_) + ": " + flushed.Reason);
  }
  const host::Step placed = host::PutInPlace(folder_, temporary_, target_, existing_);
  temporary_.clear();
  if (!placed.Ok()) {
    return Fail(placed.Status, placed.Reason);
  }
  committed_ = true;
  return SafeWriteStatus::Written;
}

SafeWriteStatus WriteFileSafely(const fs::path& target, const void* data, std::size_t size,
                                FileAccess access, std::string& reason, ExistingFile existing) {
  SafeFileWriter writer(target, access, existing);
  SafeWriteStatus status = writer.Open();
  if (status == SafeWriteStatus::Written) {
    writer.Write(data, size);
    status = writer.Commit();
  }
  reason = writer.Reason();
  return status;
}

std::string MakeOwnFolder(const fs::path& folder, FolderAccess access) {
  host::Handle opened = host::kNoHandle;
  host::Step step = host::OpenFolder(folder, opened);
  if (step.Missing) {
    // Made inside its parent, which is made first when it is missing too.
    const fs::path parent = folder.parent_path();
    if (!IsPlainName(folder.filename()) || parent == folder) {
      return step.Reason;
    }
    if (std::string problem = MakeOwnFolder(parent); !problem.empty()) {
      return problem;
    }
    host::Handle parentFolder = host::kNoHandle;
    step = host::OpenFolder(parent, parentFolder);
    if (step.Ok()) {
      step = host::MakeFolderIn(parentFolder, folder);
    }
    host::CloseFolder(parentFolder);
    if (step.Ok()) {
      // A new folder is owner-only already.
      return {};
    }
  }
  if (step.Ok() && access == FolderAccess::OwnerOnly) {
    host::MakeOwnerOnly(opened);
  }
  host::CloseFolder(opened);
  return step.Reason;
}

}  // namespace q71x
