// EngineHost: the front ends' handle on the program's engines, which run on a thread of their own.
//
// The thread runs one loop (OwnerLoop) that serves the ports' descriptors and the timers; the
// ports and engines live in a HostCore on that thread. Front ends (the window, the headless run)
// reach them only through this handle, whose members are thread-safe:
//   - Post(action) queues a user action; it runs on the host thread, in order, and receives the
//     core. An exception it throws becomes a message for the user.
//   - When output waits, `wake` is called (on the host thread; it must not block) and the front
//     end collects everything with TakeOutput().
//   - When a port must be chosen, the output carries a PortQuestion; the front end shows the
//     prompt and calls AnswerPort. Meanwhile the host goes on serving the ports and the actions.
// Call runs a function on the host thread and waits for it: for start-up, close-down and tests
// only, and never from an action (an action receives the core, which cannot Stop or Call).
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "EngineHostConfig.h"
#include "HostCore.h"

class EngineHost {
 public:
  using Action = std::function<void(HostCore&)>;

  EngineHost(EngineHostConfig config, std::function<void()> wake);
  ~EngineHost();  // Stop()
  EngineHost(const EngineHost&) = delete;
  EngineHost& operator=(const EngineHost&) = delete;

  // Starts the thread and loads the settings; returns when the first snapshot is published.
  // Throws SettingsError when settingsErrorsAreFatal and the file cannot be read.
  void Start();
  // The window has been shown, or the headless run begins (HostCore::Show). With `rethrow` the
  // call waits and passes on the error that ends a headless start.
  void Show(bool rethrow);
  // Closes the ports, writes the last settings record and ends the thread. Idempotent.
  void Stop();

  // Queues an action for the host thread; returns its number (HostSnapshot::actionsDone reaches
  // it once it has run).
  uint64_t Post(Action action);
  // Runs `fn` on the host thread and waits for it, passing on its exception.
  void Call(const Action& fn);
  HostOutput TakeOutput();
  // Waits until every settings record submitted so far has been written.
  void FlushSettings();
  void AnswerPort(uint64_t questionId, int answer);

 private:
  void ThreadMain();
  void DrainActions();

  std::shared_ptr<OwnerLoop> loop_;
  std::unique_ptr<HostCore> core_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  bool started_ = false;

  std::mutex actionsMutex_;
  std::deque<Action> actions_;
  uint64_t actionsPosted_ = 0;
};
