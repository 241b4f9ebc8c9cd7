// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/device/platform/trace/trace_format.h"

#include <sstream>

namespace q71x::trace {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string HexOrDash(const std::vector<std::uint8_t>& bytes) {
  return bytes.empty() ? "-" : ToHex(bytes.data(), bytes.size());
}

constexpr struct {
  PassThroughResult Result;
  const char* Word;
} kResultWords[] = {
    {PassThroughResult::Good, "good"},       {PassThroughResult::CheckCondition, "check"},
    {PassThroughResult::Timeout, "timeout"}, {PassThroughResult::TransportError, "transport"},
    {PassThroughResult::OsError, "os"},
};

const char* ResultWord(PassThroughResult result) {
  for (const auto& entry : kResultWords) {
    if (entry.Result == result) {
      return entry.Word;
    }
  }
  return "os";
}

std::optional<PassThroughResult> ResultOfWord(const std::string& word) {
  for (const auto& entry : kResultWords) {
    if (word == entry.Word) {
      return entry.Result;
    }
  }
  return std::nullopt;
}

// The last three fields: absent in an older recording, otherwise all three well formed.
bool ParseOutcome(std::istringstream& in, PassThroughExchange& e) {
  std::string word, sense;
  unsigned status = 0;
  e.Outcome = PassThroughOutcome{};
  e.Outcome.ErrorCode = e.Error;
  if (!(in >> word)) {
    e.Outcome.Result = e.Ok && e.Error == 0 ? PassThroughResult::Good : PassThroughResult::OsError;
    return true;
  }
  const auto result = ResultOfWord(word);
  if (!result || !(in >> status >> sense) || status > 0xFF) {
    return false;
  }
  const auto senseBytes = FromHex(sense);
  if (!senseBytes || senseBytes->size() > kSenseBufferBytes) {
    return false;
  }
  e.Outcome.Result = *result;
  e.Outcome.ScsiStatus = static_cast<std::uint8_t>(status);
  SetSense(e.Outcome, senseBytes->data(), senseBytes->size());
  return true;
}

}  // namespace

std::string ToHex(const std::uint8_t* bytes, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return hex;
}

std::string ToHex(const std::string& text) {
  if (text.empty()) {
    return "-";
  }
  return ToHex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::optional<std::vector<std::uint8_t>> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  if (hex == "-") {
    return bytes;
  }
  if (hex.size() % 2 != 0) {
    return std::nullopt;
  }
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return bytes;
}

std::optional<std::string> TextFromHex(const std::string& hex) {
  auto bytes = FromHex(hex);
  if (!bytes) {
    return std::nullopt;
  }
  return std::string(bytes->begin(), bytes->end());
}

char AccessModeLetter(AccessMode mode) {
  switch (mode) {
    case AccessMode::SharedReadWrite:
      return 'S';
    case AccessMode::ExclusiveReadWrite:
      return 'X';
    case AccessMode::QueryOnly:
      return 'Q';
  }
  return '?';
}

std::string FormatPassThrough(const PassThroughExchange& e) {
  std::ostringstream line;
  const char* leftOut = "*";
  line << "PT " << ToHex(e.Path) << ' ' << HexOrDash(e.Cdb) << ' ' << int(e.DataIn) << ' '
       << e.Length << ' ' << e.Timeout << ' ' << (e.DataLeftOut ? leftOut : HexOrDash(e.DataOut))
       << ' ' << (e.Ok ? 1 : 0) << ' ' << e.Error << ' ' << e.Transferred << ' '
       << (e.DataLeftOut ? leftOut : HexOrDash(e.DataInBytes)) << ' '
       << ResultWord(e.Outcome.Result) << ' ' << int(e.Outcome.ScsiStatus) << ' '
       << (e.Outcome.SenseLength == 0 ? std::string("-")
                                      : ToHex(e.Outcome.Sense.data(), e.Outcome.SenseLength));
  return line.str();
}

std::optional<PassThroughExchange> ParsePassThrough(const std::string& line) {
  std::istringstream in(line);
  std::string tag, path, cdb, dataOut, dataIn;
  int direction = 0;
  int ok = 0;
  PassThroughExchange e;
  if (!(in >> tag >> path >> cdb >> direction >> e.Length >> e.Timeout >> dataOut >> ok >>
        e.Error >> e.Transferred >> dataIn) ||
      tag != "PT") {
    return std::nullopt;
  }
  auto pathText = TextFromHex(path);
  auto cdbBytes = FromHex(cdb);
  auto outBytes = FromHex(dataOut);
  auto inBytes = FromHex(dataIn);
  if (!pathText || !cdbBytes || !outBytes || !inBytes || cdbBytes->size() > 16) {
    return std::nullopt;
  }
  e.Path = *pathText;
  e.Cdb = *cdbBytes;
  e.DataIn = static_cast<std::uint8_t>(direction);
  e.DataOut = *outBytes;
  e.Ok = ok != 0;
  e.DataInBytes = *inBytes;
  if (!ParseOutcome(in, e)) {
    return std::nullopt;
  }
  return e;
}

}  // namespace q71x::trace
