// Sony 9-pin protocol core: the message record, the per-port protocol record, receive framing,
// status decoding and the naming of device types. Shared by the virtual machine (port A) and the
// controller (port B).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "SonyCommands.h"

using Bytes = std::vector<uint8_t>;

// One message: CMD-1 (group in the high nibble, data count N in the low nibble), CMD-2,
// DATA-1..DATA-N, checksum. 3 to 18 bytes; one spare byte keeps the record at 19.
struct SonyMessage {
  std::array<uint8_t, 19> bytes{};

  uint8_t& operator[](std::size_t i) { return bytes[i]; }
  uint8_t operator[](std::size_t i) const { return bytes[i]; }
  int DataCount() const { return bytes[0] & 0x0F; }
  int Length() const { return DataCount() + 3; }
  uint8_t Cmd1() const { return bytes[0]; }
  uint8_t Cmd2() const { return bytes[1]; }
  // DATA-n, counted from 1 as the protocol does.
  uint8_t Data(int n) const { return bytes[static_cast<std::size_t>(n + 1)]; }
};

constexpr int kRingSize = 32;  // bytes of the receive ring in use
constexpr int kRingMask = kRingSize - 1;
constexpr std::size_t kMaxBurst = 30;  // a data event with more bytes is discarded unread
constexpr std::size_t kTallyCapacity = 20;
constexpr std::size_t kPositionTextCapacity = 11;
constexpr std::size_t kTxTextCapacity = 64;

// The protocol record of one port. Port A fields belong to the virtual machine, port B fields to
// the controller; the rest is shared.
struct SonyPort {
  std::array<uint8_t, 256> RxRing{};
  int32_t RxWrite = 0;
  int32_t RxRead = 0;
  int32_t RxLength = 0;
  SonyMessage Rx;
  SonyMessage Tx;
  std::array<uint8_t, 16> Status{};
  std::string TallyText;
  uint8_t PresetByte = 0;
  std::array<uint8_t, 12> TrackBytes{};
  int32_t TransportMode = 0;
  int32_t SpeedMode = 0;
  int32_t SenseStart = 0;
  bool Forward = false;
  bool DropFrame = false;
  bool GotoLamp = false;
  bool Cued = false;
  bool CommandPending = false;
  bool Remote = false;
  bool EditLamp = false;
  bool Still = false;
  uint8_t Standard = 0;
  int32_t Position = 0;
  int32_t PollStep = 0;
  uint16_t StatusTriggerHandle = 0;
  std::string PositionText;
  std::string TxText;
  std::array<uint8_t, 2> DeviceId{};
  int32_t SkipReplies = 0;
  int32_t PollCounter = 0;
  int32_t MarkIn = 0;
  int32_t MarkOut = 0;
  uint8_t ChangeFlags = 0;
  uint8_t ChecksumErrors = 0;
  bool EditOnPending = false;
};

// Forgets every byte received and not yet taken out as a message, a partial message included (the
// peer that sent them has gone); the checksum-failure count stays.
void DropReceived(SonyPort& port);

// Takes at most one checked message out of the ring into Rx; true if it did. Each failed start
// slides the ring one byte and counts one checksum error.
bool ExtractMessage(SonyPort& port);

// Stores the bytes of one data event in the ring. A burst of more than kMaxBurst bytes is refused
// (returns false, nothing stored): the owner then discards its whole input unread. When the bytes
// already held plus the new ones would exceed kMaxBurst, the held bytes are dropped first, so the
// 32-byte ring never overwrites unread bytes.
bool ReceiveBytes(SonyPort& port, std::span<const uint8_t> bytes);

// Completes Tx with its checksum, sets TxText, clears CommandPending; returns the bytes to write.
Bytes FrameTx(SonyPort& port);

// Copies the status data of the reply in Rx into Status from SenseStart on; true if any changed
// (DecodeStatus has then run).
bool StoreStatus(SonyPort& port);

// Derives the flag fields, TransportMode, SpeedMode and TallyText from Status.
void DecodeStatus(SonyPort& port);

// Sets DropFrame from the time-data reply in Rx and returns its text.
std::string TimeDataText(SonyPort& port);

// The four time bytes at DATA-1..DATA-4 as "HH:MM:SS:FF" (";" when drop-frame, "*" for bit 7 of
// the hours byte).
std::string FormatSonyTime(const SonyMessage& message, bool dropFrame);

// Name of the device type reply in Rx, e.g. "BVW-75 PAL".
std::string DeviceTypeText(const SonyPort& port);

// Name of a device type reply (12 11 / 13 11 / 14 11) with its standard suffix.
std::string DeviceTypeName(const SonyMessage& message, bool dropFrame);

// Two upper-case hexadecimal digits ("0A").
std::string HexByte(uint8_t value);

// Each byte as two upper-case hexadecimal digits followed by a space ("20 01 21 ").
std::string HexBytes(std::span<const uint8_t> bytes);

// The monitor line of the message in Rx, checksum included: "Rx:20 01 21 ".
std::string RxText(const SonyPort& port);
