// An editor on the far side of a serial port: opens a device path (for example the link of a
// `pty:` port) raw, sends framed requests and reads whole replies.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

class PtyEditor {
 public:
  // Waits up to `waitMs` for `path` to appear, then opens it raw.
  explicit PtyEditor(const std::string& path, int waitMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) return;
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~PtyEditor() {
    if (fd_ >= 0) ::close(fd_);
  }
  PtyEditor(const PtyEditor&) = delete;
  PtyEditor& operator=(const PtyEditor&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  void Send(const std::vector<uint8_t>& bytes) { (void)!::write(fd_, bytes.data(), bytes.size()); }

  // Reads one whole reply (its length from CMD-1) within `waitMs`; empty on time-out.
  std::vector<uint8_t> ReadReply(int waitMs = 1000) {
    std::vector<uint8_t> reply;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::size_t want = 3;
    while (reply.size() < want) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return {};
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      uint8_t buffer[64];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, want - reply.size()));
      if (n <= 0) continue;
      reply.insert(reply.end(), buffer, buffer + n);
      if (!reply.empty()) want = static_cast<std::size_t>((reply[0] & 0x0F) + 3);
    }
    return reply;
  }

  std::vector<uint8_t> Request(const std::vector<uint8_t>& framed, int waitMs = 1000) {
    Send(framed);
    return ReadReply(waitMs);
  }

 private:
  int fd_ = -1;
};
