// One 9-pin message as one line of text: its name from the command table, then its fields.
//
//   61 0C 01 6E             -> "CURRENT TIME SENSE LTC"
//   74 04 00 00 00 01 79    -> "LTC TIME DATA 01:00:00:00"
//   21 12 40 73             -> "VAR FWD x1.00"
//   7F 20 ...               -> "STATUS DATA S0-S14: STOP STANDBY CUE-UP"
//   12 11 F1 1D 31          -> "DEVICE TYPE DA-88 PAL (F1 1D)"
//   11 12 01 24             -> "NAK UNKNOWN-COMMAND"
//   44 99 01 02 03 04 E7    -> "unknown 4x 99 01 02 03 04"
//
// The input is a message as it travels, checksum included. Decoding never fails: a message the
// table does not know is "unknown", one whose length does not match its CMD-1 is "malformed"
// followed by its bytes, and a wrong checksum adds " [bad checksum]". Fields that need more data
// bytes than the message carries show "(short)".
//
// A status reply does not say which status byte it starts with; a decoder that saw the request
// (MessageDecoder) numbers the bytes from the STATUS SENSE before it, DecodeMessage from S0.
// Likewise the device-type suffix " NTSC d" needs the drop-frame flag of the last time data.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace sony {
enum class DataLayout : uint8_t;
}

class MessageDecoder {
 public:
  std::string Decode(std::span<const uint8_t> message);
  // Appends the line to `out` (no allocation once `out` has grown).
  void DecodeTo(std::span<const uint8_t> message, std::string& out);

 private:
  void AppendFields(std::string& out, std::span<const uint8_t> message, sony::DataLayout layout);

  int statusStart_ = 0;
  bool dropFrame_ = false;
};

// A decoder with no history: status bytes from S0, non-drop NTSC.
std::string DecodeMessage(std::span<const uint8_t> message);
