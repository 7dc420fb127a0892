#include "SettingsWriter.h"

#include <exception>

SettingsWriter::SettingsWriter(SaveFn save, ErrorFn onError)
    : save_(std::move(save)), onError_(std::move(onError)), thread_([this] { ThreadMain(); }) {}

SettingsWriter::~SettingsWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void SettingsWriter::Submit(const SettingsRecord& record) {
  {
    std::lock_guard lock(mutex_);
    pending_ = record;
  }
  changed_.notify_all();
}

void SettingsWriter::Flush() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !pending_ && !writing_; });
}

void SettingsWriter::ThreadMain() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return pending_ || stopping_; });
    // Stopping still writes what is pending: the last record before exit must land.
    if (!pending_) return;
    const SettingsRecord record = *pending_;
    pending_.reset();
    writing_ = true;
    lock.unlock();
    try {
      save_(record);
    } catch (const std::exception& e) {
      onError_(e.what());
    }
    lock.lock();
    writing_ = false;
    changed_.notify_all();
  }
}
