// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The file a recording goes to. A trace holds what the bridges answered, which can be the whole
// flash image and the attached disk's identity and sectors, so it is created readable by its
// owner only; it is written beside its name and takes the name when the recording ends, so an
// earlier trace is never cut short by a new one.

#include <array>
#include <filesystem>
#include <ostream>
#include <streambuf>

#include "src/host/safe_file_write.h"

namespace q71x::trace {

class TraceFile {
 public:
  explicit TraceFile(const std::filesystem::path& path);
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  // Written when recording may begin; otherwise Reason() says why not.
  SafeWriteStatus Open() { return writer_.Open(); }
  // What the recording writes to; valid after a successful Open().
  std::ostream& Stream() { return stream_; }
  // Puts the complete trace in place under its name.
  SafeWriteStatus Finish();
  const std::string& Reason() const { return writer_.Reason(); }

 private:
  class Buffer final : public std::streambuf {
   public:
    explicit Buffer(SafeFileWriter& writer);
    bool Drain();

   protected:
    int_type overflow(int_type ch) override;
    int sync() override { return Drain() ? 0 : -1; }

   private:
    SafeFileWriter& writer_;
    std::array<char, 65536> bytes_{};
  };

  SafeFileWriter writer_;
  Buffer buffer_;
  std::ostream stream_;
};

}  // namespace q71x::trace
