// QtInvoker: the serial component's EventInvoker for a Qt program. Each callable is posted to the
// application's (GUI) thread and the calling dispatcher thread waits for it, up to the time-out.
// A callable posted from the GUI thread itself cannot be waited for (the wait would block the very
// loop that must run it): it is queued and Invoke answers false at once.
#pragma once

#include "EventInvoker.h"

class QtInvoker final : public EventInvoker {
 public:
  // True when fn ran on the GUI thread within timeoutMs. Without a QCoreApplication nothing runs
  // and the answer is false.
  bool Invoke(std::function<void()> fn, int timeoutMs) override;
};
