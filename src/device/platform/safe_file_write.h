#pragma once
// Writing a file the tool produces (a backup, a trace) so that nothing is lost or redirected on
// the way: the bytes go to a new temporary file beside the target, which replaces the target only
// once every byte is on disk. A failed write leaves an earlier file of the same name as it was,
// and a symbolic link, folder, FIFO or device at the name is refused instead of being followed
// or written into (the tool may run as root).

#include <cstddef>
#include <filesystem>
#include <string>

namespace q71x {

enum class FileAccess {
  Default,    // as the user's umask allows
  OwnerOnly,  // 0600 on Linux: the file may hold the contents of someone's disk
};

enum class SafeWriteStatus {
  Written,         // in place under its name, complete
  RefusedLink,     // a symbolic link stands at the name; nothing written
  RefusedSpecial,  // a folder, FIFO, device or socket stands at the name; nothing written
  NotCreated,      // no temporary file could be made beside the target; nothing written
  Incomplete,      // a write, the flush or the rename failed; the target is as it was
};

class SafeFileWriter {
 public:
  SafeFileWriter(std::filesystem::path target, FileAccess access);
  // Removes the temporary file unless Commit() put it in place.
  ~SafeFileWriter();
  SafeFileWriter(const SafeFileWriter&) = delete;
  SafeFileWriter& operator=(const SafeFileWriter&) = delete;

  // Checks the name and creates the temporary file; Written when writing may begin.
  SafeWriteStatus Open();
  // False once any write has failed; later writes are not attempted.
  bool Write(const void* data, std::size_t size);
  // Flushes, closes and renames over the target; Written only when all of that succeeded.
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
  int fd_ = -1;
  bool failed_ = false;
  bool committed_ = false;
  std::string reason_;
};

// The whole file in one call.
SafeWriteStatus WriteFileSafely(const std::filesystem::path& target, const void* data,
                                std::size_t size, FileAccess access, std::string& reason);

}  // namespace q71x
