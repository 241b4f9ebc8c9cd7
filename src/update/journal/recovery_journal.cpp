// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/journal/recovery_journal.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "src/host/safe_file_write.h"
#include "src/host/user_data_folder.h"
#include "src/update/journal/kept_area_rules.h"

namespace q71x {
namespace fs = std::filesystem;
namespace {

// Format 2 adds the unit. An entry of format 1 still reads, with the model facets only.
constexpr const char* kHeader = "Q71X-RECOVERY-JOURNAL 2";
constexpr const char* kFirstFormatHeader = "Q71X-RECOVERY-JOURNAL 1";
constexpr const char* kExtension = ".journal";
constexpr const char* kToolFolder = "q71xfwtool";
constexpr const char* kJournalFolder = "journal";
// No area the procedures keep comes near this; a larger field is not ours.
constexpr std::size_t kLargestArea = 65536;

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 0; i < size; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return hex.empty() ? "-" : hex;
}

std::string HexText(const std::string& text) {
  return Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool FromHex(const std::string& hex, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  if (hex == "-") {
    return true;
  }
  if (hex.size() % 2 != 0) {
    return false;
  }
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) {
      return false;
    }
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return true;
}

// The body of an entry: everything the check line covers.
std::string Body(const JournalEntry& entry) {
  const UnitIdentity& unit = entry.Device.Unit;
  std::ostringstream out;
  out << kHeader << '\n'
      << "procedure " << HexText(entry.Procedure) << '\n'
      << "chip-type " << int{RowNumber(entry.Device.ChipType)} << '\n'
      << "chip-revision " << entry.Device.ChipRevision << '\n'
      << "flash-id " << HexText(entry.Device.FlashId) << '\n'
      << "firmware-version " << HexText(entry.Device.FirmwareVersion) << '\n'
      << "path " << HexText(entry.Device.DevicePath) << '\n'
      << "unit-usb-serial " << HexText(unit.UsbSerial) << '\n'
      << "unit-guid-1394 " << HexText(unit.Guid1394) << '\n'
      << "unit-disk-serial " << HexText(unit.DiskSerial) << '\n'
      << "unit-chip-type " << int{RowNumber(unit.ChipType)} << '\n'
      << "unit-chip-revision " << unit.ChipRevision << '\n'
      << "unit-flash-id " << HexText(unit.FlashId) << '\n'
      << "unit-port-path " << HexText(unit.PortPath) << '\n'
      << "unit-firmware-version " << HexText(unit.FirmwareVersion) << '\n'
      << "area-address " << entry.AreaAddress << '\n'
      << "erase-address " << entry.EraseAddress << '\n'
      << "area " << Hex(entry.Area.data(), entry.Area.size()) << '\n'
      << "image-sha256 " << Sha256Hex(entry.ImageSha256) << '\n';
  return out.str();
}

// Reads "key value" where the key must be `key`; false for anything else.
bool Field(std::istringstream& in, const char* key, std::string& value) {
  std::string line;
  if (!std::getline(in, line)) {
    return false;
  }
  const std::string prefix = std::string(key) + " ";
  if (line.rfind(prefix, 0) != 0) {
    return false;
  }
  value = line.substr(prefix.size());
  return !value.empty() && value.find(' ') == std::string::npos;
}

bool TextField(std::istringstream& in, const char* key, std::string& text) {
  std::string hex;
  std::vector<std::uint8_t> bytes;
  if (!Field(in, key, hex) || !FromHex(hex, bytes)) {
    return false;
  }
  text.assign(bytes.begin(), bytes.end());
  return true;
}

template <typename Number>
bool NumberField(std::istringstream& in, const char* key, Number& number) {
  std::string text;
  if (!Field(in, key, text) || text.size() > 10 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value > 0xFFFFFFFFull) {
    return false;
  }
  number = static_cast<Number>(value);
  return true;
}

// A chip type no row of the table carries is no entry of ours: refused like any other bad field.
bool ChipTypeField(std::istringstream& in, const char* key, ChipType& type) {
  long long number = 0;
  if (!NumberField(in, key, number)) {
    return false;
  }
  const std::optional<ChipType> row = ChipTypeOfNumber(number);
  type = row.value_or(ChipType::Unknown);
  return row.has_value();
}

std::vector<std::uint8_t> ReadAll(const fs::path& file, bool& ok) {
  std::ifstream in(file, std::ios::binary);
  ok = static_cast<bool>(in);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
  ok = ok && !in.bad();
  return bytes;
}

bool IsEntryName(const std::string& name) {
  const std::string extension = kExtension;
  return name.size() > extension.size() &&
         name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
}

}  // namespace

std::string EntryAreaProblem(const JournalEntry& entry) {
  return KeptAreaProblem(entry.Procedure, entry.AreaAddress,
                         static_cast<std::uint32_t>(entry.Area.size()), entry.EraseAddress);
}

std::vector<std::uint8_t> SerializeJournalEntry(const JournalEntry& entry) {
  const std::string body = Body(entry);
  const std::string text = body + "check " + Sha256Hex(Sha256Of(body)) + '\n';
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool ParseJournalEntry(const std::vector<std::uint8_t>& bytes, JournalEntry& entry,
                       std::string& problem) {
  const std::string text(bytes.begin(), bytes.end());
  const bool current = text.rfind(std::string(kHeader) + "\n", 0) == 0;
  if (!current && text.rfind(std::string(kFirstFormatHeader) + "\n", 0) != 0) {
    problem = "not a recovery journal entry of this tool";
    return false;
  }
  // The check line covers every byte before it; anything cut or changed fails it.
  const std::size_t checkAt = text.rfind("check ");
  if (checkAt == std::string::npos || (checkAt > 0 && text[checkAt - 1] != '\n')) {
    problem = "cut short: no check line";
    return false;
  }
  const std::string body = text.substr(0, checkAt);
  if (text.substr(checkAt) != "check " + Sha256Hex(Sha256Of(body)) + "\n") {
    problem = "damaged: its contents do not match its check line";
    return false;
  }
  std::istringstream in(body);
  std::string header, area, digest;
  JournalEntry read;
  JournalDevice& device = read.Device;
  UnitIdentity& unit = device.Unit;
  std::vector<std::uint8_t> digestBytes;
  std::getline(in, header);
  bool fields = TextField(in, "procedure", read.Procedure) &&
                ChipTypeField(in, "chip-type", device.ChipType) &&
                NumberField(in, "chip-revision", device.ChipRevision) &&
                TextField(in, "flash-id", device.FlashId) &&
                TextField(in, "firmware-version", device.FirmwareVersion) &&
                TextField(in, "path", device.DevicePath);
  if (current) {
    fields = fields && TextField(in, "unit-usb-serial", unit.UsbSerial) &&
             TextField(in, "unit-guid-1394", unit.Guid1394) &&
             TextField(in, "unit-disk-serial", unit.DiskSerial) &&
             ChipTypeField(in, "unit-chip-type", unit.ChipType) &&
             NumberField(in, "unit-chip-revision", unit.ChipRevision) &&
             TextField(in, "unit-flash-id", unit.FlashId) &&
             TextField(in, "unit-port-path", unit.PortPath) &&
             TextField(in, "unit-firmware-version", unit.FirmwareVersion);
  } else {
    // What format 1 knew: the model, which can tell units apart but never prove one.
    unit.ChipType = device.ChipType;
    unit.ChipRevision = device.ChipRevision;
    unit.FlashId = device.FlashId;
    unit.FirmwareVersion = device.FirmwareVersion;
  }
  fields = fields && NumberField(in, "area-address", read.AreaAddress) &&
           NumberField(in, "erase-address", read.EraseAddress) && Field(in, "area", area) &&
           FromHex(area, read.Area) && Field(in, "image-sha256", digest) &&
           FromHex(digest, digestBytes) && digestBytes.size() == read.ImageSha256.size();
  std::string rest;
  if (!fields || std::getline(in, rest) || read.Area.empty() || read.Area.size() > kLargestArea) {
    problem = "not in the form this tool writes";
    return false;
  }
  if (std::string rule = EntryAreaProblem(read); !rule.empty()) {
    problem = "not an area this tool keeps: the entry " + rule;
    return false;
  }
  std::copy(digestBytes.begin(), digestBytes.end(), read.ImageSha256.begin());
  read.Name = entry.Name;
  entry = std::move(read);
  return true;
}

fs::path RecoveryJournal::DefaultFolder() {
  return FolderUnder(UserDataFolder());
}

fs::path RecoveryJournal::FolderUnder(const fs::path& dataFolder) {
  return dataFolder.empty() ? dataFolder : dataFolder / kToolFolder / kJournalFolder;
}

std::string RecoveryJournal::Record(JournalEntry& entry) {
  if (folder_.empty()) {
    return "no per-user data folder to keep the copy in";
  }
  if (std::string rule = EntryAreaProblem(entry); !rule.empty()) {
    return "the entry " + rule;
  }
  // A second entry would leave the recovery to choose between two areas of one unit; the one
  // that waits is the area the unit lost first.
  for (const JournalEntry& open : List().Open) {
    if (MatchUnits(open.Device.Unit, entry.Device.Unit, nullptr) == UnitMatch::Same) {
      return "the entry " + open.Name + " waits for this unit; nothing is added while it does";
    }
  }
  if (std::string problem = MakeOwnFolder(folder_); !problem.empty()) {
    return problem;
  }
  const std::vector<std::uint8_t> bytes = SerializeJournalEntry(entry);
  // Named by its contents: a second run over the same device and image writes the same entry.
  const std::string name =
      "q71x-" + Sha256Hex(Sha256Of(bytes.data(), bytes.size())).substr(0, 16) + kExtension;
  std::string failure;
  if (WriteFileSafely(folder_ / name, bytes.data(), bytes.size(), FileAccess::OwnerOnly, failure) !=
      SafeWriteStatus::Written) {
    return failure;
  }
  entry.Name = name;
  return {};
}

bool RecoveryJournal::Close(const std::string& name) {
  if (!IsEntryName(name) || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos) {
    return false;
  }
  bool ok = false;
  const std::vector<std::uint8_t> bytes = ReadAll(folder_ / name, ok);
  JournalEntry entry;
  std::string problem;
  if (!ok || !ParseJournalEntry(bytes, entry, problem)) {
    return false;
  }
  std::error_code error;
  return fs::remove(folder_ / name, error) && !error;
}

JournalListing RecoveryJournal::List() const {
  JournalListing listing;
  std::error_code error;
  if (folder_.empty() || !fs::is_directory(folder_, error)) {
    return listing;
  }
  std::vector<std::pair<fs::file_time_type, fs::path>> files;
  for (const fs::directory_entry& item : fs::directory_iterator(folder_, error)) {
    std::error_code timeError;
    files.emplace_back(item.last_write_time(timeError), item.path());
  }
  if (error) {
    listing.Problems.push_back({folder_.string(), "cannot be listed: " + error.message()});
  }
  std::sort(files.begin(), files.end());
  for (const auto& [when, file] : files) {
    const std::string name = file.filename().string();
    std::error_code typeError;
    if (!fs::is_regular_file(file, typeError)) {
      listing.Problems.push_back({name, "not a file this tool writes"});
      continue;
    }
    if (!IsEntryName(name)) {
      listing.Problems.push_back({name, "not a recovery journal entry of this tool"});
      continue;
    }
    bool ok = false;
    const std::vector<std::uint8_t> bytes = ReadAll(file, ok);
    JournalEntry entry;
    entry.Name = name;
    std::string problem;
    if (!ok) {
      listing.Problems.push_back({name, "cannot be read"});
    } else if (!ParseJournalEntry(bytes, entry, problem)) {
      listing.Problems.push_back({name, problem});
    } else {
      listing.Open.push_back(std::move(entry));
    }
  }
  return listing;
}

std::vector<JournalCandidate> RecoveryJournal::CandidatesFor(const JournalDevice& device,
                                                             JournalListing* listing) const {
  JournalListing all = List();
  std::vector<JournalCandidate> candidates;
  for (JournalEntry& entry : all.Open) {
    std::string why;
    const UnitMatch match = MatchUnits(entry.Device.Unit, device.Unit, &why);
    if (match != UnitMatch::Different) {
      candidates.push_back(JournalCandidate{entry, match, std::move(why)});
    }
  }
  if (listing != nullptr) {
    *listing = std::move(all);
  }
  return candidates;
}

std::vector<JournalEntry> RecoveryJournal::OpenFor(const JournalDevice& device,
                                                   JournalListing* listing) const {
  std::vector<JournalEntry> matching;
  for (JournalCandidate& candidate : CandidatesFor(device, listing)) {
    if (candidate.Match == UnitMatch::Same) {
      matching.push_back(std::move(candidate.Entry));
    }
  }
  return matching;
}

int RestoreFromJournal(RecoveryJournal& journal, const JournalEntry& entry,
                       const std::function<int(const JournalEntry&)>& restore) {
  if (restore(entry) == 0) {
    return 0;
  }
  return journal.Close(entry.Name) ? 1 : 0;
}

}  // namespace q71x
