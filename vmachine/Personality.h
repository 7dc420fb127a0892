// A machine personality: how port A's answers leave the virtual machine. The engine decides each
// reply as it always has; a personality decides whether, when and how the reply goes out (its
// timing, refusals, line errors and faults) and what the machine is at start (identity, status).
// Every field's default is the plain virtual machine: Personality{} changes nothing.
//
// Times are held in whole microseconds; files give them in milliseconds (PersonalityFile.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// A "CMD-1 CMD-2" pattern: each byte is two hexadecimal digits, a digit and "x" (any low nibble,
// "2x" is the whole group), or "*" (any byte). A lone CMD-1 means any CMD-2.
struct CommandPattern {
  uint8_t cmd1 = 0;
  uint8_t cmd1Mask = 0xFF;
  uint8_t cmd2 = 0;
  uint8_t cmd2Mask = 0xFF;

  bool Matches(uint8_t messageCmd1, uint8_t messageCmd2) const {
    return (messageCmd1 & cmd1Mask) == cmd1 && (messageCmd2 & cmd2Mask) == cmd2;
  }
  // "2x *", "61 20".
  std::string Text() const;
  bool operator==(const CommandPattern&) const = default;
};

// The pattern of a text, or nothing when the text is not one.
std::optional<CommandPattern> ParseCommandPattern(std::string_view text);

// A command the machine refuses with NAK and these reason bits, whatever `accept` says.
struct CommandRefusal {
  CommandPattern command;
  uint8_t bits = 0x01;
  // "20 10 = 80".
  std::string Text() const;
  bool operator==(const CommandRefusal&) const = default;
};

std::optional<CommandRefusal> ParseCommandRefusal(std::string_view text);

struct PersonalityIdentity {
  std::optional<int> machine;                        // 0..16, an entry of the "Mcn" menu
  std::optional<int> standard;                       // 0..3, an entry of the "STD" menu
  std::optional<std::array<uint8_t, 2>> deviceType;  // the two device-type bytes
  bool operator==(const PersonalityIdentity&) const = default;
};

struct PersonalityTiming {
  int64_t replyDelayUs = 0;
  int64_t replyJitterUs = 0;  // uniform in 0..jitter, added to the delay
  uint64_t seed = 0;
  int64_t byteTimeUs = 0;        // each reply byte written alone, this far apart
  int64_t receiveTimeoutUs = 0;  // an incomplete message older than this is dropped; 0 never
  bool operator==(const PersonalityTiming&) const = default;
};

struct PersonalityErrors {
  bool nakChecksum = false;   // NAK 04 and an emptied ring instead of a one-byte slide
  bool nakTimeout = false;    // NAK 80 when an incomplete message is dropped
  bool nakUndefined = false;  // NAK 01 for a command outside `accept` (else ACK, not executed)
  bool operator==(const PersonalityErrors&) const = default;
};

struct PersonalityCommands {
  std::optional<std::vector<CommandPattern>> accept;  // nothing: every command
  std::vector<CommandPattern> ignore;                 // ACKed, not executed
  std::vector<CommandRefusal> nak;                    // refused with their bits, not executed
  std::vector<CommandPattern> silent;                 // never answered, not executed
  bool operator==(const PersonalityCommands&) const = default;
};

struct PersonalityStatus {
  int bytes = 16;              // status bytes the machine has: a status sense is cut there
  bool local = false;          // starts in local: transport commands ACKed and ignored
  std::set<std::string> bits;  // named bits set at start (StatusBitNames())
  bool operator==(const PersonalityStatus&) const = default;
};

// Each fault strikes every N-th request (the N-th, 2N-th...), counted from the port's opening; 0
// is never.
struct PersonalityFaults {
  int dropEvery = 0;         // no reply
  int badChecksumEvery = 0;  // the reply's checksum is wrong
  int lateEvery = 0;         // the reply is lateUs later
  int64_t lateUs = 0;
  int splitEvery = 0;  // the reply goes in two writes, splitGapUs apart
  int64_t splitGapUs = 0;
  int swallowFirst = 0;  // the first N requests are neither answered nor executed
  int garbageEvery = 0;  // a stray byte goes out before the reply
  bool operator==(const PersonalityFaults&) const = default;
};

struct Personality {
  std::string name = "ideal";
  PersonalityIdentity identity;
  PersonalityTiming timing;
  PersonalityErrors errors;
  PersonalityCommands commands;
  PersonalityStatus status;
  PersonalityFaults faults;
  bool operator==(const Personality&) const = default;
};

// A status bit the [status] table may name.
struct StatusBitName {
  std::string_view name;
  int byte;
  uint8_t mask;
};

// The named status bits, in file order.
const std::vector<StatusBitName>& StatusBitNames();
const StatusBitName* FindStatusBit(std::string_view name);

// The personalities known by name ("ideal", "broadcast-vtr", ...), in the order of the help text.
const std::vector<Personality>& BuiltInPersonalities();
const Personality* FindBuiltInPersonality(std::string_view name);
