// How the serial component reaches its owner's thread.
//
// Every event of a port (data available, modem-status trigger, device lost) is handed to the
// owner's thread through an EventInvoker, one at a time, by the port's dispatcher thread. The
// dispatcher blocks in Invoke until the callable has run or the time-out has passed.
//
// Implementing it: post `fn` to the owner thread (a Qt owner would use
// QMetaObject::invokeMethod(context, ..., Qt::QueuedConnection)), then wait on a semaphore or
// condition that the posted code releases after `fn` returns, for at most `timeoutMs`.
//   - Return true when `fn` ran to completion within the time, false otherwise.
//   - After a false return `fn` may still run later on the owner thread, or never; both are safe,
//     because the component guards every callable it hands over.
//   - `fn` must run on the owner thread only, never on the calling thread.
//   - Invoke is called from the dispatcher threads of any number of ports, concurrently.
// The component holds its invoker through a shared_ptr, so a dispatcher thread still waiting
// while its port is being destroyed keeps the invoker alive until it returns.
#pragma once

#include <functional>
#include <memory>

class EventInvoker {
 public:
  virtual ~EventInvoker() = default;

  // Runs `fn` on the owner thread and waits up to `timeoutMs` for it to finish; true when it ran.
  virtual bool Invoke(std::function<void()> fn, int timeoutMs) = 0;
};

using EventInvokerPtr = std::shared_ptr<EventInvoker>;
