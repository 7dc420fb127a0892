// Shared fixture of the model tests: a raw view of the shared block (to check bytes at their
// documented offsets, independently of the library's own layout code), a clean model per test and
// the requests the command server substitute recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace modeltest {

constexpr std::size_t kImageSize = 16316;
constexpr std::size_t kRecordSize = 236;
constexpr std::size_t kSystem = 8732;

// The test's own block, named by VYOMODEL_SHM_NAME (the test run refuses to start without it).
uint8_t* Raw();
const char* BlockName();

inline std::size_t McnAt(int m, std::size_t offset) {
  return kRecordSize * std::size_t(m + 1) + offset;
}

template <class T>
T RawAt(std::size_t offset) {
  T value;
  std::memcpy(&value, Raw() + offset, sizeof value);
  return value;
}

// Every request line recorded by the command server substitute since the test began.
std::vector<std::string> ServerLines();

// A length-prefixed string from text.
std::vector<uint8_t> LengthPrefixed(const std::string& text);
std::string FromLengthPrefixed(const uint8_t* text);

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Drains every pending change code (the model is zeroed per test, so usually nothing).
  static std::vector<int> DrainChanges();
};

}  // namespace modeltest

namespace modeltest {

struct CommandResult {
  int status = -1;  // exit status, or -1 when the command did not exit normally
  std::string output;
};

// Runs a shell command (stdout and stderr together) in the test's environment.
CommandResult RunCommand(const std::string& command);

}  // namespace modeltest
