// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Faults a test arms in advance: the n-th command (counted from 1) that matches a pattern, on
// one path or on any, gets a fault instead of, or on top of, its normal answer.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/cdb_pattern.h"

namespace q71x::sim {

enum class FaultKind {
  Fail,       // the request fails (ERROR_IO_DEVICE); the bridge never sees the command
  Timeout,    // the request fails after its whole time-out has passed on the clock
  ErrorCode,  // the command is carried out and the platform reports success, but leaves
              // a non-zero error code (Value)
  Short,      // the command is carried out, but only Value bytes move: a data-in area keeps
              // its old bytes beyond them, a data-out command reaches the bridge with zeros
              // beyond them
  Garbage,    // the data bytes that move are replaced by noise (seeded by Value)
  Unplug,     // the enclosure goes away at this command, which fails
  StuckBusy,  // from this command on the serial flash reports busy and never finishes
  // The device refuses the command without carrying it out: CHECK CONDITION with the sense key,
  // ASC and ASCQ in Value's bytes 2, 1 and 0.
  CheckCondition,
  // Like Short, but Value bytes fewer than the command moves cross the bus (none when it moves
  // no more than that): with Times 0, from the Nth command on every answer comes short by Value.
  ShortBy,
  // The command is carried out, but one field of the data moves as noise: the bytes from offset
  // Value & 0xFFFF, (Value >> 16) of them (at least one), where the data reaches that far.
  GarbageField,
  // Like GarbageField, but the field always turns to the same wrong bytes (seeded by Value
  // alone) and only on the command the rule first hit: every later command with the very same
  // command block gets the same wrong field, other commands pass. A bridge whose buffer spoils
  // one particular transfer the same way each time, so that reading it twice agrees.
  IdenticalGarble,
};

struct FaultRule {
  CdbPattern Pattern;
  int Nth = 1;       // fires on the Nth matching command...
  int Times = 1;     // ...and on the following matching ones up to this many in all; 0: all
  std::string Path;  // empty: any device
  FaultKind Kind = FaultKind::Fail;
  std::uint32_t Value = 0;
};

struct FaultAction {
  FaultKind Kind;
  std::uint32_t Value;
  std::uint32_t Hit;  // how many times this rule has fired, this time included
};

// How many of `size` data bytes cross the bus under a Short or ShortBy fault.
std::size_t BytesMoved(const FaultAction& fault, std::size_t size);
// The part of `data` a GarbageField fault turns to noise (empty when the data is shorter).
std::span<std::uint8_t> FaultedField(const FaultAction& fault, std::span<std::uint8_t> data);

class FaultInjector {
 public:
  // Returns an id for Remove.
  std::size_t Arm(FaultRule rule);
  void Remove(std::size_t id);
  void Clear() { rules_.clear(); }
  // Counts the command against every armed rule and returns the fault of the first rule that
  // fires for it.
  std::optional<FaultAction> OnCommand(const std::string& path, std::span<const std::uint8_t> cdb);
  // How often a rule has fired so far.
  std::uint32_t FiredCount(std::size_t id) const;

  // Another program holds the device for a while: after `after` more exclusive opens of `path`
  // (empty: any), the next `count` are refused as busy. Opens are not commands; they are counted
  // here alone.
  void ArmBusyOpens(std::string path, int count, int after = 0) {
    busyOpens_.push_back({std::move(path), after, count});
  }
  // Whether this exclusive open is refused as busy (and counts it).
  bool OnExclusiveOpen(const std::string& path);
  int BusyOpensRefused() const { return busyOpensRefused_; }

 private:
  struct ArmedRule {
    FaultRule Rule;
    std::uint32_t Matched = 0;
    std::uint32_t Fired = 0;
    bool Active = true;
    std::vector<std::uint8_t> FirstCdb;  // IdenticalGarble: the one command it spoils
  };
  std::vector<ArmedRule> rules_;
  struct BusyOpens {
    std::string Path;
    int Before = 0;
    int Left = 0;
  };
  std::vector<BusyOpens> busyOpens_;
  int busyOpensRefused_ = 0;
};

}  // namespace q71x::sim
