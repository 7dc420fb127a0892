// Sockets for the network port tests: free loopback port numbers, a listener, a client, and
// bounded reads that keep the port's loop turning meanwhile.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "PortMap.h"
#include "SerialTestSupport.h"

namespace net_test {

using namespace serial_test;

inline sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A socket listening on the loopback: on `port`, or on a free one when 0.
class TestListener {
 public:
  explicit TestListener(int port = 0) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address = Loopback(port);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(listen(fd_, 4), 0);
    socklen_t length = sizeof address;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~TestListener() { ::close(fd_); }
  int Port() const { return port_; }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A port number nothing listens on (taken and let go at once).
inline int FreePort() { return TestListener().Port(); }

// Connects to the loopback `port`; -1 when refused.
inline int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in address = Loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Accepts on `listener` within `limit` while `loop` turns; -1 when nobody came.
inline int AcceptWhilePumping(OwnedPort& owned, const TestListener& listener,
                              std::chrono::milliseconds limit) {
  int fd = -1;
  owned.PumpUntil(
      [&] {
        pollfd p{listener.Fd(), POLLIN, 0};
        if (poll(&p, 1, 0) > 0) fd = accept4(listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        return fd >= 0;
      },
      limit);
  return fd;
}

// Reads what `fd` has within `limit`, up to `count` bytes, while the port's loop turns.
inline std::vector<uint8_t> ReadWhilePumping(OwnedPort& owned, int fd, std::size_t count,
                                             std::chrono::milliseconds limit = kWait) {
  std::vector<uint8_t> got;
  owned.PumpUntil(
      [&] {
        uint8_t chunk[4096];
        pollfd p{fd, POLLIN, 0};
        while (got.size() < count && poll(&p, 1, 0) > 0) {
          const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, count - got.size()));
          if (n <= 0) return true;
          got.insert(got.end(), chunk, chunk + n);
        }
        return got.size() >= count;
      },
      limit);
  return got;
}

// A port that records what it receives and says.
struct RecordingPort : OwnedPort {
  std::vector<uint8_t> received;
  std::vector<std::string> notes;
  std::vector<std::string> errors;
  int hangUps = 0;
  std::vector<int> assigned;

  RecordingPort() {
    port.OnTriggerAvail = [this](TSerialPort& p, uint16_t count) {
      for (uint16_t i = 0; i < count; ++i) received.push_back(p.ReadByte());
    };
    port.OnDiagnostic = [this](TSerialPort&, const std::string& text) { notes.push_back(text); };
    port.OnError = [this](TSerialPort&, const std::string& text) { errors.push_back(text); };
    port.OnPeerHangUp = [this](TSerialPort&) { ++hangUps; };
  }

  ~RecordingPort() {
    port.SetOpen(false);
    for (int number : assigned) PortMap::Unassign(number);
  }

  void Open(int number, const std::string& target) {
    ASSERT_TRUE(PortMap::Assign(number, target));
    assigned.push_back(number);
    port.SetComNumber(number);
    port.SetOpen(true);
  }

  // Notes containing `text`.
  int Noted(const std::string& text) const {
    int n = 0;
    for (const std::string& note : notes) n += note.find(text) != std::string::npos;
    return n;
  }

  bool WaitNoted(const std::string& text, std::chrono::milliseconds limit = kWait) {
    return PumpUntil([&] { return Noted(text) > 0; }, limit);
  }
  bool WaitReceived(std::size_t count, std::chrono::milliseconds limit = kWait) {
    return PumpUntil([&] { return received.size() >= count; }, limit);
  }
};

}  // namespace net_test
