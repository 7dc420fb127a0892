// QtInvoker: runs a callable on the application's (GUI) thread, for the engine host's notices to
// the window. The calling thread waits for it, up to the time-out. A callable posted from the GUI
// thread itself cannot be waited for (the wait would block the very loop that must run it): it
// is queued and Invoke answers false at once.
#pragma once

#include <functional>

class QtInvoker final {
 public:
  // True when fn ran on the GUI thread within timeoutMs. Without a QCoreApplication nothing runs
  // and the answer is false.
  bool Invoke(std::function<void()> fn, int timeoutMs);
};
