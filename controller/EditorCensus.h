// EditorCensus: what an editor does on the line, recorded while a machine answers it. It sees
// every byte the editor sends, with its arrival time, and the moment each reply goes out, and
// counts the commands by kind, the interval between requests, requests sent before the reply to
// the one before had gone out (unless the editor had waited kGiveUp for it), messages with a bad
// checksum, bytes that started no message and messages whose bytes came with a pause inside them.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CensusResult.h"
#include "MessageFramer.h"

struct EditorCommandCount {
  std::string request;  // CMD-1 and CMD-2 as sent: "61 0C"
  std::string name;     // "CURRENT TIME SENSE"
  int count = 0;
};

struct EditorCensusResult {
  double seconds = 0;
  int messages = 0;
  std::vector<EditorCommandCount> commands;  // most frequent first
  ReplyStats pollInterval;                   // ms from one request's first byte to the next
  std::vector<double> intervalsMs;           // every interval, in order, for the plots
  int overlapped = 0;
  int checksumErrors = 0;
  int debrisBytes = 0;
  int gaps = 0;
  double longestGapMs = 0;  // the longest a message took beyond its time on the line

  // What an editor should not do, one line each: bad checksums, stray bytes, pauses inside
  // messages, requests sent before the previous reply, or no message at all. Empty when it behaved.
  std::vector<std::string> Faults() const;
};

class EditorCensus {
 public:
  // One byte at 38400 baud with start, parity and stop bits.
  static constexpr Micros kByteTime{287};
  // A message may take this long beyond its bytes' time on the line before it counts as a gap.
  static constexpr Micros kGapAllowance{2000};

  // Bytes read from the editor and the time they arrived.
  void Received(std::span<const uint8_t> bytes, Micros at);
  // An editor that got no reply this long after a request has given up waiting for it.
  static constexpr Micros kGiveUp{200000};

  // Bytes written to the editor (replies, whole or in parts) and when.
  void Sent(std::span<const uint8_t> bytes, Micros at);
  // Hands out what the framer holds once the line has been quiet; call before Result().
  void Flush(Micros now);
  EditorCensusResult Result(Micros now) const;

 private:
  void Count(const Frame& frame);

  std::optional<Micros> start_;
  std::optional<Micros> lastRequest_;
  std::deque<Micros> awaiting_;  // arrival of each request whose reply has not gone out yet
  MessageFramer framer_;
  MessageFramer replies_;
  std::map<std::string, EditorCommandCount> commands_;
  EditorCensusResult result_;
};
