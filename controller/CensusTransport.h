// The transport part of a census: play, stop, fast forward, rewind, jog and a cue, each sent as a
// command and then watched through the machine's time code (CURRENT TIME SENSE LTC at every
// request slot). A check passes when the command is acknowledged and the time code moves the
// right way at the right rate, or, for the cue, lands on the time asked for.
//
// It moves tape, so a census runs it only when asked; it starts with the cue, so the moving checks
// run well away from 00:00:00:00, and it ends with a stop.
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "CensusResult.h"
#include "MessageFramer.h"
#include "sonyname.h"

class CensusTransport {
 public:
  // Where the cue goes: 00:10:00:00.
  static constexpr int kCueMinutes = 10;

  // Frames per second of the machine's time code (25, 30 or 24), from its device type.
  void SetFrameRate(int fps) { fps_ = fps; }

  // The next request to send at `now`, or nothing once every check is done.
  std::optional<Bytes> Next(Micros now);
  // The reply to the last request (framed, checksum included) and when it came.
  void Reply(std::span<const uint8_t> message, Micros at);
  // The last request got no reply.
  void NoReply();

  bool Done() const { return step_ >= StepCount(); }
  const std::vector<TransportCheck>& Checks() const { return checks_; }

 private:
  enum class Expect : uint8_t { Rate, Still, Faster, FasterBack, Forward, Lands, Nothing };
  struct Step {
    const char* name;
    Bytes command;  // without checksum
    Micros settle;  // time given to the machine before the watch starts
    Micros window;  // how long the time code is watched
    Expect expect;
  };
  struct Sample {
    Micros at;
    int frames;
  };

  static std::size_t StepCount();
  static const Step& StepAt(std::size_t index);
  void Finish(bool passed, std::string detail);
  void Evaluate();
  bool Landed() const;
  std::string RateText(double rate) const;

  int fps_ = 30;
  std::size_t step_ = 0;
  enum class Stage : uint8_t { Command, AwaitAck, Watch } stage_ = Stage::Command;
  bool awaitingTime_ = false;
  Micros watchFrom_{0};
  std::vector<Sample> samples_;
  std::string refusal_;  // what came instead of time data during the watch
  std::vector<TransportCheck> checks_;
};
