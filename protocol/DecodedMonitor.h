// Decoded monitor lines for one port, one per message:
//
//      12.345678 Rx 61 0C 01 6E  CURRENT TIME SENSE LTC
//      12.346012 Tx 74 04 00 00 00 01 79  LTC TIME DATA 01:00:00:00  reply 0.334 ms
//
// time in seconds since the port opened (six decimals), direction, the bytes, two spaces, the
// decoded text; a reply adds its reply time, from the last byte of the request in to the first
// byte of the reply out. The owner passes the times it saw (its clock, any origin) and the time
// the port opened; the designed monitor lines ("Rx:..." / "  Tx ...") are not these.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "MessageDecoder.h"
#include "MessageFramer.h"

class DecodedMonitor {
 public:
  explicit DecodedMonitor(Micros portOpened) : opened_(portOpened) {}

  // A message received; `lastByteIn` is when its last byte arrived.
  std::string Received(std::span<const uint8_t> bytes, Micros lastByteIn);
  // A message sent; a reply to the last message received when one is outstanding.
  std::string Sent(std::span<const uint8_t> bytes, Micros firstByteOut);

 private:
  std::string Line(Micros at, const char* direction, std::span<const uint8_t> bytes);

  Micros opened_;
  MessageDecoder decoder_;
  std::optional<Micros> requestEnd_;  // a received message not yet answered
};

// "0.334 ms": a duration in milliseconds with three decimals.
std::string MillisecondsText(Micros duration);
