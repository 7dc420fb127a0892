// Decoded monitor lines for one port, one per message:
//
//      12.345678 Rx 61 0C 01 6E  CURRENT TIME SENSE LTC
//      12.346012 Tx 74 04 00 00 00 01 79  LTC TIME DATA 01:00:00:00  read-to-write 0.334 ms
//
// time in seconds since the port opened (six decimals), direction, the bytes, two spaces, the
// decoded text; a reply adds "read-to-write": from this program's read of the request's last byte
// to its write of the reply. The time on the wires, in the kernel and in the other program is not
// in it, so a client measures more. The owner passes the times it saw (its clock, any origin) and
// the time the port opened; the designed monitor lines ("Rx:..." / "  Tx ...") are not these.
#pragma once

#include <optional>
#include <string>

#include "MessageDecoder.h"
#include "MessageFramer.h"

class DecodedMonitor {
 public:
  // `answering`: this side replies to what it receives (a machine's port), so a message sent after
  // one received carries a reply time; a controller's side sends first and measures nothing.
  explicit DecodedMonitor(Micros portOpened, bool answering = true)
      : opened_(portOpened), answering_(answering) {}

  // A frame received, stamped with the arrival of its last byte.
  std::string Received(const Frame& frame);
  // A frame sent; a reply to the last message received when one is outstanding.
  std::string Sent(const Frame& frame, Micros firstByteOut);

 private:
  std::string Line(Micros at, const char* direction, const Frame& frame);

  Micros opened_;
  bool answering_;
  MessageDecoder decoder_;
  std::optional<Micros> requestEnd_;  // a received message not yet answered
};

// "0.334 ms": a duration in milliseconds with three decimals.
std::string MillisecondsText(Micros duration);
