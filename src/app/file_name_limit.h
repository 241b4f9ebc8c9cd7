#pragma once
// File names of 260 characters or more are refused everywhere the operator can give one (typed,
// loaded, dropped, backup): the tool never cuts a name, because a cut name can open or overwrite
// some other file.

#include <QString>

namespace q71x {

inline constexpr int kMaxFileNameChars = 260;

inline bool FileNameTooLong(const QString& name) {
  return name.size() >= kMaxFileNameChars;
}

}  // namespace q71x
