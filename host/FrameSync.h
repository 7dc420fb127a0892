// The rules that decide when the frame tick runs: the two frame timers, the CTS sync pulse of
// each port, the sync lamps and the lost-lock counter. A plain class driven by calls so the rules
// can be checked without real timers; its owner keeps the real timers and the ports and carries
// out the returned step.
//
// Timer1 paces port A, Timer2 (80 ms) port B. A CTS change on a port restarts that port's timer,
// so a steady pulse faster than the timer keeps the timer from firing: the sync lamp stays lit
// and the lost-lock counter stands still. Each timer period without a pulse darkens the lamp and
// counts one lost lock (0..99, then 0 again). When both ports see sync, port A paces the tick.
#pragma once

#include <string>

constexpr int kTimer2IntervalMs = 80;

// What the owner must do after one event, in this order: restart the port's timer, arm the
// port's modem-status trigger again, run the frame tick.
struct SyncStep {
  bool restartTimer = false;
  bool rearm = false;
  bool frameTick = false;
};

class FrameSync {
 public:
  void SetPortAOpen(bool open) { portAOpen_ = open; }
  void SetPortBOpen(bool open) { portBOpen_ = open; }
  bool PortAOpen() const { return portAOpen_; }
  bool PortBOpen() const { return portBOpen_; }

  SyncStep Timer1Fired();
  SyncStep Timer2Fired();
  // A modem-status trigger of the port fired; `ctsChanged` is the port's delta-CTS (cleared by
  // reading it), `ctsOn` the CTS line now. The pulse's falling edge is the frame.
  SyncStep ModemStatusA(bool ctsChanged, bool ctsOn);
  SyncStep ModemStatusB(bool ctsChanged, bool ctsOn);

  void ResetLostLock() { lostLock_ = 0; }
  int LostLock() const { return lostLock_; }
  std::string LostLockCaption() const { return std::to_string(lostLock_); }

  bool SyncA() const { return syncA_; }
  bool SyncB() const { return syncB_; }
  std::string SyncACaption() const { return syncA_ ? "Good Sync A" : "No Sync A"; }
  std::string SyncBCaption() const { return syncB_ ? "Good Sync B" : "No Sync B"; }

 private:
  void CountLostLock() { lostLock_ = (lostLock_ + 1) % 100; }

  bool portAOpen_ = false;
  bool portBOpen_ = false;
  bool syncA_ = false;
  bool syncB_ = false;
  int lostLock_ = 0;
};

// Timer1's interval as the view layout sets it: 100 ms with the sync-test row shown, else 60 ms.
int LayoutTimer1IntervalMs(bool syncRowShown);
