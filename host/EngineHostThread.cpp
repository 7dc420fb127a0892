// EngineHost: the host's thread, its loop and the queue of posted actions.
#include <future>

#include "EngineHost.h"

EngineHost::EngineHost(EngineHostConfig config, std::function<void()> wake)
    : loop_(std::make_shared<OwnerLoop>()),
      core_(std::make_unique<HostCore>(std::move(config), loop_, std::move(wake))) {}

EngineHost::~EngineHost() { Stop(); }

void EngineHost::Start() {
  if (started_) return;
  started_ = true;
  thread_ = std::thread([this] { ThreadMain(); });
  Call([](HostCore& core) { core.Create(); });
}

void EngineHost::Show(bool rethrow) {
  const Action show = [rethrow](HostCore& core) { core.Show(rethrow); };
  if (rethrow)
    Call(show);
  else
    Post(show);
}

void EngineHost::Stop() {
  if (!started_ || !thread_.joinable()) return;
  // A question still open is given up, so the actions queued behind it run before the end.
  loop_->Invoke(
      [this] {
        core_->AnswerPort(0, kPromptCancelled);
        DrainActions();
        stopping_ = true;
      },
      0);
  thread_.join();
  core_->FlushSettings();
}

void EngineHost::ThreadMain() {
  while (!stopping_) loop_->PumpUntilTime(core_->FireTimers());
  core_->Close();
}

uint64_t EngineHost::Post(Action action) {
  uint64_t number = 0;
  {
    std::lock_guard lock(actionsMutex_);
    number = ++actionsPosted_;
    actions_.push_back(std::move(action));
  }
  loop_->Invoke([this] { DrainActions(); }, 0);
  return number;
}

void EngineHost::Call(const Action& fn) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  Post([&fn, done](HostCore& core) {
    try {
      fn(core);
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  finished.get();
}

void EngineHost::DrainActions() {
  // While the user is being asked for a port, actions wait: they may act on that very port.
  while (!core_->Asking()) {
    Action action;
    {
      std::lock_guard lock(actionsMutex_);
      if (actions_.empty()) return;
      action = std::move(actions_.front());
      actions_.pop_front();
    }
    try {
      action(*core_);
      core_->ActionDone(nullptr);
    } catch (const std::exception& e) {
      core_->ActionDone(&e);
    }
  }
}

HostOutput EngineHost::TakeOutput() { return core_->TakeOutput(); }

void EngineHost::FlushSettings() { core_->FlushSettings(); }

void EngineHost::AnswerPort(uint64_t questionId, int answer) {
  loop_->Invoke(
      [this, questionId, answer] {
        core_->AnswerPort(questionId, answer);
        DrainActions();
      },
      0);
}
