// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary bytes as a recovery journal entry to the entry reader and, as a file in a
// journal folder beside a sound entry, to the folder scan. A refused entry must say why; an
// accepted one must be written back and read again unchanged; the scan must list the sound
// entry and either list the fuzzed file or report it with a reason; and neither the scan nor a
// refused close may remove or change a file.

#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "src/update/journal/recovery_journal.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFuzzedName = "q71x-fuzzed.journal";

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// One journal folder for the whole run, removed when the process ends normally.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string path = (fs::temp_directory_path() / "q71x-fuzz-journal-XXXXXX").string();
    if (mkdtemp(path.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = path;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

q71x::JournalEntry SoundEntry() {
  q71x::JournalEntry entry;
  entry.Device = {q71x::ChipType::Qvk842Series, 2, "c22016", "1.02", "/dev/sg3", {}};
  entry.Device.Unit.UsbSerial = "3F2A0017";
  entry.Device.Unit.ChipType = q71x::ChipType::Qvk842Series;
  entry.Device.Unit.ChipRevision = 2;
  entry.Procedure = "UpdateSerialFlash";
  entry.AreaAddress = 0x8000;
  entry.EraseAddress = 0x8000;
  entry.Area.assign(512, 0x5A);
  return entry;
}

std::vector<std::uint8_t> ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool SameEntry(const q71x::JournalEntry& a, const q71x::JournalEntry& b) {
  return q71x::SerializeJournalEntry(a) == q71x::SerializeJournalEntry(b);
}

void CheckReader(const std::vector<std::uint8_t>& bytes) {
  q71x::JournalEntry entry;
  std::string problem;
  if (!q71x::ParseJournalEntry(bytes, entry, problem)) {
    if (problem.empty()) {
      Fail("a refused entry names no reason");
    }
    return;
  }
  q71x::JournalEntry again;
  if (!q71x::ParseJournalEntry(q71x::SerializeJournalEntry(entry), again, problem) ||
      !SameEntry(entry, again)) {
    Fail("an accepted entry does not read back unchanged");
  }
}

// The folder holds one sound entry, recorded once for the whole run, beside the fuzzed file.
void CheckFolderScan(q71x::RecoveryJournal& journal, const q71x::JournalEntry& sound,
                     const std::vector<std::uint8_t>& bytes) {
  const fs::path& folder = journal.Folder();
  {
    std::ofstream out(folder / kFuzzedName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  const q71x::JournalListing listing = journal.List();
  const auto named = [](const std::string& name) {
    return [name](const auto& item) { return item.Name == name; };
  };
  if (std::none_of(listing.Open.begin(), listing.Open.end(), named(sound.Name))) {
    Fail("the sound entry is not listed beside the fuzzed file");
  }
  const bool open = std::any_of(listing.Open.begin(), listing.Open.end(), named(kFuzzedName));
  const auto problem =
      std::find_if(listing.Problems.begin(), listing.Problems.end(), named(kFuzzedName));
  if (open == (problem != listing.Problems.end())) {
    Fail("the fuzzed file is neither listed nor reported, or both");
  }
  if (!open && problem->What.empty()) {
    Fail("the fuzzed file is reported without a reason");
  }
  if (!open && journal.Close(kFuzzedName)) {
    Fail("an unsound file was closed");
  }
  if (!fs::exists(folder / kFuzzedName) || ReadAll(folder / kFuzzedName) != bytes) {
    Fail("the scan or a refused close lost or changed the fuzzed file");
  }
  // A sound entry is closed by its name, and nothing else goes with it.
  if (open && !journal.Close(kFuzzedName)) {
    Fail("a sound entry cannot be closed");
  }
  if (ReadAll(folder / sound.Name) != q71x::SerializeJournalEntry(sound)) {
    Fail("the sound entry changed");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFolder scratch;
  static q71x::RecoveryJournal journal(scratch.Path() / "journal");
  static const q71x::JournalEntry sound = [] {
    q71x::JournalEntry entry = SoundEntry();
    if (!journal.Record(entry).empty()) {
      Fail("the sound entry cannot be recorded");
    }
    return entry;
  }();
  const std::vector<std::uint8_t> bytes(data, data + size);
  CheckReader(bytes);
  CheckFolderScan(journal, sound, bytes);
  return 0;
}
