#include "FrameSync.h"

SyncStep FrameSync::Timer1Fired() {
  syncA_ = false;
  SyncStep step;
  if (portAOpen_) {
    CountLostLock();
    step.rearm = true;
    step.frameTick = true;
  }
  return step;
}

SyncStep FrameSync::Timer2Fired() {
  syncB_ = false;
  SyncStep step;
  if (portBOpen_) {
    CountLostLock();
    step.rearm = true;
    step.frameTick = !portAOpen_;
  }
  return step;
}

SyncStep FrameSync::ModemStatusA(bool ctsChanged, bool ctsOn) {
  SyncStep step;
  if (ctsChanged) {
    step.restartTimer = true;
    if (!ctsOn) {
      syncA_ = true;
      step.frameTick = true;
    }
  }
  step.rearm = portAOpen_;
  return step;
}

SyncStep FrameSync::ModemStatusB(bool ctsChanged, bool ctsOn) {
  SyncStep step;
  if (ctsChanged) {
    step.restartTimer = true;
    if (!ctsOn) {
      syncB_ = true;
      step.frameTick = !syncA_;
    }
  }
  step.rearm = portBOpen_;
  return step;
}

int LayoutTimer1IntervalMs(bool syncRowShown) { return syncRowShown ? 100 : 60; }
