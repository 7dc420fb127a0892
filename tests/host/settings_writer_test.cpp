// The settings writer: a burst of records costs few writes, the last one always lands, and a
// failure is reported, not thrown.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "SettingsWriter.h"

TEST(SettingsWriterTest, ABurstWritesTheFirstAndTheLastRecordOnly) {
  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  std::vector<int32_t> written;
  {
    SettingsWriter writer(
        [&](const SettingsRecord& record) {
          std::unique_lock lock(mutex);
          written.push_back(record.WindowLeft);
          changed.notify_all();
          // The first write is slow (a disk flushing): everything after it piles up.
          changed.wait(lock, [&] { return release; });
        },
        [](const std::string&) {});
    SettingsRecord record;
    record.WindowLeft = 0;
    writer.Submit(record);
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return !written.empty(); });
    }
    for (int i = 1; i <= 100; ++i) {
      record.WindowLeft = i;
      writer.Submit(record);
    }
    {
      std::lock_guard lock(mutex);
      release = true;
    }
    changed.notify_all();
    writer.Flush();
  }
  EXPECT_EQ(written, (std::vector<int32_t>{0, 100}));
}

TEST(SettingsWriterTest, TheLastRecordLandsWhenTheWriterGoes) {
  std::vector<int32_t> written;
  std::mutex mutex;
  {
    SettingsWriter writer(
        [&](const SettingsRecord& record) {
          std::lock_guard lock(mutex);
          written.push_back(record.WindowTop);
        },
        [](const std::string&) {});
    SettingsRecord record;
    for (int i = 1; i <= 50; ++i) {
      record.WindowTop = i;
      writer.Submit(record);
    }
  }
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.back(), 50);
  EXPECT_LE(written.size(), 50u);
}

TEST(SettingsWriterTest, AFailureIsReportedAndTheNextRecordStillWritten) {
  std::vector<std::string> errors;
  std::vector<int32_t> written;
  std::mutex mutex;
  SettingsWriter writer(
      [&](const SettingsRecord& record) {
        if (record.WindowLeft == 1) throw std::runtime_error("Cannot write x: No space left");
        std::lock_guard lock(mutex);
        written.push_back(record.WindowLeft);
      },
      [&](const std::string& message) {
        std::lock_guard lock(mutex);
        errors.push_back(message);
      });
  SettingsRecord record;
  record.WindowLeft = 1;
  writer.Submit(record);
  writer.Flush();
  record.WindowLeft = 2;
  writer.Submit(record);
  writer.Flush();
  EXPECT_EQ(errors, std::vector<std::string>{"Cannot write x: No space left"});
  EXPECT_EQ(written, std::vector<int32_t>{2});
}
