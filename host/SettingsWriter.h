// Writes the settings record on a thread of its own, so a slow disk (a save flushes the file to
// disk) holds up neither the engines nor the window. Only the latest record submitted is written:
// a burst of changes costs a few writes, and the last record always lands (Flush, and the
// destructor, wait for it).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "SettingsRecord.h"

class SettingsWriter {
 public:
  using SaveFn = std::function<void(const SettingsRecord&)>;        // throws on failure
  using ErrorFn = std::function<void(const std::string& message)>;  // on the writer's thread

  SettingsWriter(SaveFn save, ErrorFn onError);
  ~SettingsWriter();  // writes what is pending, then ends the thread
  SettingsWriter(const SettingsWriter&) = delete;
  SettingsWriter& operator=(const SettingsWriter&) = delete;

  // Takes `record` as the one to write next, replacing any record not yet written.
  void Submit(const SettingsRecord& record);
  // Returns once every submitted record has been written (or has failed).
  void Flush();

 private:
  void ThreadMain();

  SaveFn save_;
  ErrorFn onError_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<SettingsRecord> pending_;
  bool writing_ = false;
  bool stopping_ = false;
  std::thread thread_;
};
