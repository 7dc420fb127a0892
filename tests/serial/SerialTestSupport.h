// Helpers for the serial tests: a pseudo-terminal the test holds as the "far end" of a device,
// bounded reads and waits, and SELKIE_COM<n> overrides that are undone after each test.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "OwnerLoop.h"
#include "SerialDevice.h"
#include "SerialPort.h"

namespace serial_test {

using namespace std::chrono_literals;
constexpr auto kWait = 3000ms;

// A pseudo-terminal pair: the test keeps the master; the slave path stands for a serial device.
class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(grantpt(master_), 0);
    EXPECT_EQ(unlockpt(master_), 0);
    char name[128];
    EXPECT_EQ(ptsname_r(master_, name, sizeof name), 0);
    path_ = name;
    // Until someone opens the slave, the master would report a hang-up: keep it quiet.
    holder_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~PtyPair() {
    CloseMaster();
    if (holder_ >= 0) ::close(holder_);
  }
  const std::string& Path() const { return path_; }
  int Master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  int holder_ = -1;
  std::string path_;
};

// Writes all of `bytes` to `fd`.
inline void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0);
    done += static_cast<std::size_t>(n);
  }
}

// Reads exactly `count` bytes from `fd` within `limit`; fewer when the time runs out.
inline std::vector<uint8_t> ReadBytes(int fd, std::size_t count,
                                      std::chrono::milliseconds limit = kWait) {
  std::vector<uint8_t> got;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (got.size() < count) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    uint8_t chunk[4096];
    const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, count - got.size()));
    if (n <= 0) break;
    got.insert(got.end(), chunk, chunk + n);
  }
  return got;
}

// Whether `fd` stays without input for `quiet`: the bounded check that nothing was sent.
inline bool Silent(int fd, std::chrono::milliseconds quiet) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, static_cast<int>(quiet.count())) == 0;
}

// Sets SELKIE_COM<n> for the life of the object.
class ComOverride {
 public:
  ComOverride(int number, const std::string& target)
      : name_("SELKIE_COM" + std::to_string(number)) {
    setenv(name_.c_str(), target.c_str(), 1);
  }
  ~ComOverride() { unsetenv(name_.c_str()); }

 private:
  std::string name_;
};

// A device whose lines the test sets and whose driver counts no edges: a level held for a while
// is seen only by a port that keeps reading the lines (every 10 ms).
class ScriptedDevice : public SerialDevice {
 public:
  explicit ScriptedDevice(int readFd) : fd_(readFd) {}
  ~ScriptedDevice() override { ::close(fd_); }
  int Fd() const override { return fd_; }
  int LinePollMs() const override { return 10; }
  ssize_t Read(uint8_t* buffer, std::size_t size) override { return ::read(fd_, buffer, size); }
  ssize_t Write(const uint8_t*, std::size_t size) override { return static_cast<ssize_t>(size); }
  std::vector<std::string> Configure(const LineSettings&) override { return {}; }
  bool ReadLines(LineSample& sample) override {
    sample = {lines->load(), 0};
    return true;
  }
  bool SetDTR(bool) override { return true; }
  bool SetRTS(bool) override { return true; }
  void FlushInput() override {}
  bool HangupMeansLost() const override { return true; }

  std::shared_ptr<std::atomic<uint8_t>> lines = std::make_shared<std::atomic<uint8_t>>(0);

 private:
  int fd_;
};

// A port with its owner loop; the test thread is the owner thread.
struct OwnedPort {
  std::shared_ptr<OwnerLoop> loop = std::make_shared<OwnerLoop>();
  TSerialPort port{loop};

  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = kWait) {
    return loop->PumpUntil(done, limit);
  }
};

}  // namespace serial_test
