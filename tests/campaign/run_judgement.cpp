// SPDX-License-Identifier: GPL-2.0-or-later
#include "tests/campaign/run_judgement.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/campaign/outcome_texts.h"

namespace q71x::campaign {
namespace {

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

std::string DescribeMismatch(const Mismatch& mismatch) {
  std::ostringstream out;
  out << "memory at 0x" << std::hex << mismatch.Address << " holds " << HexByte(mismatch.Found)
      << ", meant " << (mismatch.Rule == ByteRule::Exact ? HexByte(mismatch.Expected) : "old/FF");
  return out.str();
}

}  // namespace

std::string HexByte(std::uint8_t byte) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", byte);
  return text;
}

Judgement JudgeRun(const CampaignDevice& device, EngineeringAction action, const RunRecord& record,
                   const RunIntent& intent, const MemorySnapshot& before,
                   const MemorySnapshot& after, const std::string& backupFile) {
  const OutcomeTexts texts = TextsFor(device.Run, action);
  Judgement judgement;
  judgement.Claimed = record.Outcome.Verdict == RunVerdict::Succeeded;
  judgement.TextKnown = judgement.Claimed || IsOneOf(texts.Failure, record.FinalStatus);
  if (!judgement.Claimed) {
    return judgement;
  }
  if (const std::optional<Mismatch> mismatch = FindMismatch(intent, before, after)) {
    judgement.Breach = DescribeMismatch(*mismatch);
  } else if (intent.WritesBackup && !FileExists(backupFile)) {
    judgement.Breach = "no backup file";
  } else if (intent.WritesBackup && ReadWholeFile(backupFile) != intent.BackupFile) {
    judgement.Breach = "backup file differs from the memory it claims to hold";
  }
  return judgement;
}

}  // namespace q71x::campaign
