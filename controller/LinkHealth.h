// How well one port's link is doing, as plain counts: requests sent (or, on the machine's side,
// received), replies, polls that ran out without an answer, checksum failures, and when the last
// reply came. The controller keeps one for port B, the engine host one for port A; the window
// shows them in the panels and the status bar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "MessageFramer.h"

struct LinkHealth {
  // Polls in a row without an answer after which the machine counts as gone.
  static constexpr int kLostAfter = 3;

  uint64_t requests = 0;
  uint64_t replies = 0;
  uint64_t timeouts = 0;
  int checksumErrors = 0;
  int unanswered = 0;  // polls in a row that ran out without an answer
  std::optional<Micros> lastReply;

  void Requested() { ++requests; }
  void Replied(Micros at);
  void TimedOut();
  // Forget the polls in flight: a closed port has asked nothing.
  void PortClosed() { unanswered = 0; }
  bool Lost() const { return unanswered >= kLostAfter; }
  bool operator==(const LinkHealth&) const = default;
};

// "0.04 s", "12 s" or "none" (no reply yet); a clock that went back reads as 0.
std::string ReplyAgeText(const LinkHealth& health, Micros now);
