// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A JSON value as text, whatever bytes its strings hold. File names and the bridges' INQUIRY
// texts need not be UTF-8 (a Latin-1 name, a high byte in a vendor field); the JSON library
// throws on them, which would end the program without its document. Every byte sequence that is
// not UTF-8 becomes U+FFFD instead, the same way at every place a document or event is written.

#include <string>

#include <nlohmann/json.hpp>

namespace q71x::cli {

// `indent` as nlohmann's dump: -1 is one line.
template <typename Json>
std::string JsonText(const Json& value, int indent = -1) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace q71x::cli
