#include "CensusTransport.h"

#include <cstdio>

#include "MessageDecoder.h"

using namespace sony;
using namespace std::chrono_literals;

namespace {

// BCD 00:10:00:00 as frames, seconds, minutes, hours.
const Bytes kCueTime = {0x00, 0x00, 0x10, 0x00};

int FromBcd(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

// Frames since midnight of four time bytes; drop-frame labels are counted as non-drop, which is
// close enough for a rate.
int FramesOf(std::span<const uint8_t> time, int fps) {
  const int frames = FromBcd(time[0] & 0x3F);
  const int seconds = FromBcd(time[1] & 0x7F);
  const int minutes = FromBcd(time[2] & 0x7F);
  const int hours = FromBcd(time[3] & 0x3F);
  return ((hours * 60 + minutes) * 60 + seconds) * fps + frames;
}

std::string TimeText(int frames, int fps) {
  char text[48];
  const int seconds = frames / fps;
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                seconds % 60, frames % fps);
  return text;
}

Bytes Framed(Bytes body) {
  body.push_back(Checksum(body.data(), body.size()));
  return body;
}

}  // namespace

std::size_t CensusTransport::StepCount() { return 7; }

const CensusTransport::Step& CensusTransport::StepAt(std::size_t index) {
  static const Step kSteps[] = {
      {"cue",
       {Cmd1(kTransportControl, kTimeBytes), kCueUpWithData, kCueTime[0], kCueTime[1], kCueTime[2],
        kCueTime[3]},
       0ms,
       10s,
       Expect::Lands},
      {"play", {Cmd1(kTransportControl, 0), kPlay}, 200ms, 2s, Expect::Rate},
      {"stop", {Cmd1(kTransportControl, 0), kStop}, 500ms, 1s, Expect::Still},
      {"fast forward", {Cmd1(kTransportControl, 0), kFastFwd}, 200ms, 1s, Expect::Faster},
      {"rewind", {Cmd1(kTransportControl, 0), kRewind}, 200ms, 1s, Expect::FasterBack},
      {"jog", {Cmd1(kTransportControl, 1), kJogFwd, kPlaySpeedByte}, 200ms, 1s, Expect::Forward},
      {"stop at the end", {Cmd1(kTransportControl, 0), kStop}, 0ms, 0ms, Expect::Nothing},
  };
  return kSteps[index];
}

std::optional<Bytes> CensusTransport::Next(Micros now) {
  while (!Done()) {
    const Step& step = StepAt(step_);
    if (stage_ == Stage::Command) {
      stage_ = Stage::AwaitAck;
      awaitingTime_ = false;
      return Framed(step.command);
    }
    if (stage_ == Stage::AwaitAck) return std::nullopt;  // the census waits for the reply
    if (step.expect == Expect::Lands && Landed()) {
      Finish(true, "landed on " + TimeText(samples_.back().frames, fps_));
      continue;
    }
    if (now >= watchFrom_ + step.window) {
      Evaluate();
      continue;
    }
    awaitingTime_ = true;
    return Framed({Cmd1(kSenseRequest, 1), kCurrentTimeSense, kSenseLtc});
  }
  return std::nullopt;
}

void CensusTransport::Reply(std::span<const uint8_t> message, Micros at) {
  if (Done()) return;
  if (stage_ == Stage::AwaitAck) {
    if (message.size() >= 2 && message[0] == Cmd1(kSystemReply, 0) && message[1] == kAck) {
      stage_ = Stage::Watch;
      watchFrom_ = at + StepAt(step_).settle;
      samples_.clear();
    } else {
      Finish(false, "answered " + DecodeMessage(message));
    }
    return;
  }
  const bool timeData = message.size() >= 2 + kTimeBytes && GroupOf(message[0]) == kSenseReply &&
                        DataCountOf(message[0]) >= kTimeBytes;
  if (awaitingTime_ && timeData && at >= watchFrom_) {
    samples_.push_back({at, FramesOf(message.subspan(2, kTimeBytes), fps_)});
  } else if (awaitingTime_ && !timeData) {
    refusal_ = DecodeMessage(message);  // the time sense itself was not answered with a time
  }
  awaitingTime_ = false;
}

void CensusTransport::NoReply() {
  if (!Done() && stage_ == Stage::AwaitAck) Finish(false, "no reply to the command");
  awaitingTime_ = false;
}

bool CensusTransport::Landed() const {
  const int target = kCueMinutes * 60 * fps_;
  // Two readings in a row on the cue point: it has stopped there, not passed through.
  const std::size_t n = samples_.size();
  return n >= 2 && samples_[n - 1].frames == target && samples_[n - 2].frames == target;
}

std::string CensusTransport::RateText(double rate) const {
  char text[48];
  std::snprintf(text, sizeof text, "x%.2f %s", rate < 0 ? -rate : rate,
                rate < 0 ? "backward" : (rate > 0 ? "forward" : "still"));
  return text;
}

void CensusTransport::Evaluate() {
  const Step& step = StepAt(step_);
  if (step.expect == Expect::Nothing) {
    Finish(true, "");
    return;
  }
  if (samples_.size() < 2 && !refusal_.empty()) {
    Finish(false, "the time code was asked for and answered " + refusal_);
    return;
  }
  if (step.expect == Expect::Lands) {
    Finish(false, samples_.empty() ? "no time code after the cue"
                                   : "stopped at " + TimeText(samples_.back().frames, fps_) +
                                         ", not at " + TimeText(kCueMinutes * 60 * fps_, fps_));
    return;
  }
  if (samples_.size() < 2) {
    Finish(false, "too few time code readings to tell");
    return;
  }
  const Sample& first = samples_.front();
  const Sample& last = samples_.back();
  const double seconds = std::chrono::duration<double>(last.at - first.at).count();
  const int moved = last.frames - first.frames;
  const double rate = seconds > 0 ? moved / (seconds * fps_) : 0.0;
  bool passed = false;
  switch (step.expect) {
    case Expect::Rate:
      passed = rate >= 0.9 && rate <= 1.1;
      break;
    case Expect::Still:
      passed = moved == 0;
      break;
    case Expect::Faster:
      passed = rate > 1.5;
      break;
    case Expect::FasterBack:
      passed = rate < -1.5;
      break;
    case Expect::Forward:
      passed = rate > 0;
      break;
    case Expect::Lands:
    case Expect::Nothing:
      break;
  }
  Finish(passed, RateText(rate));
}

void CensusTransport::Finish(bool passed, std::string detail) {
  const Step& step = StepAt(step_);
  if (step.expect != Expect::Nothing) checks_.push_back({step.name, passed, std::move(detail)});
  ++step_;
  stage_ = Stage::Command;
  awaitingTime_ = false;
  samples_.clear();
  refusal_.clear();
}
