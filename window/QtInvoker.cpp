#include "QtInvoker.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Shared by the waiting thread and the posted call, so either may outlive the other.
struct Completion {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;

  void MarkDone() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
    }
    finished.notify_all();
  }
};

}  // namespace

bool QtInvoker::Invoke(std::function<void()> fn, int timeoutMs) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || !fn) return false;

  auto completion = std::make_shared<Completion>();
  QMetaObject::invokeMethod(
      app,
      [fn = std::move(fn), completion] {
        struct MarkOnExit {
          Completion& c;
          ~MarkOnExit() { c.MarkDone(); }
        } mark{*completion};
        fn();
      },
      Qt::QueuedConnection);

  if (QThread::currentThread() == app->thread()) return false;

  std::unique_lock<std::mutex> lock(completion->mutex);
  return completion->finished.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                                       [&] { return completion->done; });
}
