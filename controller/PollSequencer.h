// The controller's poll sequencer: one message in flight, the next one at the first frame tick
// after an answer or after five ticks without one. A queued user command takes the place of the
// request due; the eight-step request cycle resumes where it stopped.
#pragma once

#include "sonyname.h"

class PollSequencer {
 public:
  static constexpr int kReload = 5;  // ticks to wait for an answer
  static constexpr int kSteps = 8;

  // One call per frame tick while port B is open. Returns the framed message to write, or
  // nothing while the countdown runs. Uses and advances port.PollStep; sends port.Tx unchanged
  // when port.CommandPending is set.
  Bytes Tick(SonyPort& port);

  // A good reply arrived: the next tick sends at once.
  void ReplyReceived() {
    countdown_ = 0;
    awaiting_ = false;
  }

  // Port B closed: what was in flight will never be answered.
  void PortClosed() { awaiting_ = false; }

  // The last message sent has had no answer yet.
  bool AwaitingReply() const { return awaiting_; }

  // Frame ticks left before the next poll slot.
  int PollCountdown() const { return countdown_; }

  // Loads the request of a step (0..7) into port.Tx: time code at even steps, status at 1 and 5,
  // edit preset at 3, device type at 7.
  static void LoadRequest(SonyPort& port, int step);

 private:
  int countdown_ = 0;
  bool awaiting_ = false;
};
