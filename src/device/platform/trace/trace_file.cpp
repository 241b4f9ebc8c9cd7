// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/trace/trace_file.h"

namespace q71x::trace {

TraceFile::Buffer::Buffer(SafeFileWriter& writer) : writer_(writer) {
  setp(bytes_.data(), bytes_.data() + bytes_.size());
}

bool TraceFile::Buffer::Drain() {
  const auto pending = static_cast<std::size_t>(pptr() - pbase());
  setp(bytes_.data(), bytes_.data() + bytes_.size());
  return pending == 0 || writer_.Write(bytes_.data(), pending);
}

TraceFile::Buffer::int_type TraceFile::Buffer::overflow(int_type ch) {
  if (!Drain()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(ch, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(ch);
    pbump(1);
  }
  return traits_type::not_eof(ch);
}

TraceFile::TraceFile(const std::filesystem::path& path)
    : writer_(path, FileAccess::OwnerOnly), buffer_(writer_), stream_(&buffer_) {}

SafeWriteStatus TraceFile::Finish() {
  stream_.flush();
  return writer_.Commit();
}

}  // namespace q71x::trace
