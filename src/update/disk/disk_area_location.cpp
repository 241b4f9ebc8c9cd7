// SPDX-License-Identifier: GPL-2.0-or-later
#include "src/update/disk/disk_area_location.h"

#include <cstdint>

#include "src/device/aligned_buffer.h"
#include "src/device/disk_commands.h"
#include "src/device/identification.h"
#include "src/device/platform/pass_through_outcome.h"
#include "src/update/proven_read.h"
#include "src/update/update_texts.h"
#include "src/update/work_buffer.h"

namespace q71x {
namespace {

// Empty text when both reads agreed; else the refusal that stops the run.
std::string_view Prove(const RangeRead& read, std::uint8_t* buffer, std::size_t length) {
  return ProvenReadRefusal(ReadTwiceAndCompare(read, buffer, length), kAllocateReadBufferErrorText,
                           kFwAreaPositionErrorText);
}

// Capacity, configuration block, sector count and firmware presence, in the order the bridge
// has always been asked; the refusal when any of them cannot be trusted.
std::string_view GatherAnswers(const std::string& devicePath, ChipType chipType,
                               DiskAreaAnswers& answers, std::uint32_t& blockSize) {
  std::uint8_t capacity[kCapacityReplyLength] = {};
  std::uint8_t config[kConfigBlockLength] = {};
  std::uint8_t identify[kIdentifyLength] = {};
  // These three commands name no address to cut a second read at.
  const auto readCapacity = [&devicePath](std::uint8_t* buffer, std::size_t) {
    return ReadCapacity10(devicePath, buffer);
  };
  const auto readConfig = [&devicePath](std::uint8_t* buffer, std::size_t length) {
    int commandOk = 0;
    ReadConfigBlock(devicePath, buffer, static_cast<std::uint32_t>(length), &commandOk);
    return commandOk;
  };
  const auto readIdentify = [&devicePath](std::uint8_t* buffer, std::size_t) {
    return IdentifyDevice(devicePath, buffer);
  };
  std::string_view refusal = Prove(SameOnEveryPass(readCapacity), capacity, sizeof capacity);
  if (refusal.empty()) {
    refusal = Prove(SameOnEveryPass(readConfig), config, sizeof config);
  }
  if (refusal.empty()) {
    refusal = Prove(SameOnEveryPass(readIdentify), identify, sizeof identify);
  }
  if (!refusal.empty()) {
    return refusal;
  }
  answers.LastLba = LastLbaOfCapacity(capacity);
  answers.Shifted = ConfigBlockSaysAreaShifted(config);
  answers.SectorCount = SectorCountOfIdentify(identify);
  blockSize = BlockSizeOfCapacity(capacity);
  if (TellsDiskFirmwareByConfigBlock(chipType)) {
    answers.FirmwarePresent = ConfigBlockSaysFirmwareOnDisk(config);
    return {};
  }
  std::uint8_t signature[kDiskFirmwareSignatureLength] = {};
  // The chip memory read names its address and length: the second copy comes in two halves.
  const RangeRead readSignature = SplitOnSecondPass(
      [&devicePath](std::size_t offset, std::uint8_t* buffer, std::size_t length) {
        return ReadDiskFirmwareSignatureBytes(devicePath, static_cast<std::uint16_t>(offset),
                                              buffer, static_cast<std::uint16_t>(length));
      },
      kDiskFirmwareSignatureLength / 2);
  refusal = Prove(readSignature, signature, sizeof signature);
  if (!refusal.empty()) {
    return refusal;
  }
  answers.FirmwarePresent = SignatureSaysFirmwareOnDisk(signature);
  return {};
}

// Reads the area record twice. Empty text when both reads agreed, and also when the drive itself
// refused the record as lying past its end (`pastDriveEnd` set); else the refusal. On a drive of
// 2^32 sectors or more the record is looked for at the drive's own sector count, the first block
// past its end, which a compliant drive refuses with ILLEGAL REQUEST, LOGICAL BLOCK ADDRESS OUT
// OF RANGE: the drive's answer that no record is there, and the area takes its default place.
// That refusal is asked for twice as well; anything else (a time-out, a lost command, another
// sense, answers that differ) says nothing about the record and stops the run.
std::string_view ReadAreaRecord(const std::string& devicePath, const DiskAreaFacts& facts,
                                std::uint64_t lba, AlignedBuffer& record, bool& pastDriveEnd) {
  int reads = 0;
  int refusedPastEnd = 0;
  const std::size_t block = facts.BlockSize;
  const auto readRecord = [&](std::size_t offset, std::uint8_t* buffer, std::size_t length) {
    PassThroughOutcome outcome;
    const int ok = ReadFwArea(devicePath, facts, lba + (block == 0 ? 0 : offset / block), buffer,
                              static_cast<std::uint32_t>(length), &outcome);
    ++reads;
    if (ok == 0 && IsLbaOutOfRange(outcome)) {
      ++refusedPastEnd;
    }
    return ok;
  };
  const ProvenReadResult result =
      ReadTwiceAndCompare(SplitOnSecondPass(readRecord, block), record.data(), record.size());
  // The proven read stops at its first failed read; a first refusal is asked again.
  if (result == ProvenReadResult::ReadFailed && UsesLongCommands(facts) && reads == 1 &&
      refusedPastEnd == 1 && readRecord(0, record.data(), record.size()) == 0 &&
      refusedPastEnd == 2) {
    pastDriveEnd = true;
    return {};
  }
  return ProvenReadRefusal(result, kAllocateReadBufferErrorText, kFwAreaPositionErrorText);
}

}  // namespace

std::string_view LocateDiskArea(const std::string& devicePath, ChipType chipType,
                                DiskAreaFacts& facts) {
  DiskAreaAnswers answers;
  std::uint32_t blockSize = kDefaultBlockSize;
  if (const std::string_view refusal = GatherAnswers(devicePath, chipType, answers, blockSize);
      !refusal.empty()) {
    return refusal;
  }
  if (!BlockSizeUsable(blockSize)) {
    return kDiskBlockSizeErrorText;
  }
  DiskAreaFacts found;
  found.BlockSize = blockSize;
  found.SectorCount = answers.SectorCount;
  found.Shifted = answers.Shifted;
  found.FirmwarePresent = answers.FirmwarePresent;
  if (!answers.FirmwarePresent) {
    found.AreaBase = DefaultFwAreaBase(answers);
    facts = found;
    return {};
  }

  std::uint64_t recordLba = 0;
  std::uint32_t recordLength = 0;
  if (!FwAreaRecordPlace(answers, blockSize, recordLba, recordLength)) {
    return kFwAreaPositionErrorText;
  }
  AlignedBuffer record = AllocateWorkBuffer(recordLength);
  if (!record.ok()) {
    return kAllocateReadBufferErrorText;
  }
  bool pastDriveEnd = false;
  if (const std::string_view refusal =
          ReadAreaRecord(devicePath, found, recordLba, record, pastDriveEnd);
      !refusal.empty()) {
    return refusal;
  }
  found.AreaBase =
      pastDriveEnd ? DefaultFwAreaBase(answers) : FwAreaBaseFromRecord(answers, record.data());
  facts = found;
  return {};
}

}  // namespace q71x
