// Round-trip latency through a pty: port, against a one-thread responder on a bare
// pseudo-terminal in the same run. A peer program's stand-in (a thread) writes a 3-byte message
// to the link; the port's data event, raised by the owner's loop in the wake-up that reads the
// message, answers with 3 bytes; the peer reads them. The one-thread responder does the same
// with poll, read and write on a thread of its own: the floor the port is measured against.
// The two take turns in blocks of 500. Prints median, p99, p99.9 and max over 10,000 round trips
// each, and the ratios of the medians and the p99s.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "OwnerLoop.h"
#include "SerialPort.h"
#include "latency_stats.h"

namespace {

constexpr int kRoundTrips = 10000;
constexpr int kBlock = 500;  // the two are measured in turns, so both see the same machine load
constexpr int kComNumber = 250;
constexpr std::size_t kMessage = 3;

bool ReadExactly(int fd, uint8_t* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return false;
    const ssize_t n = ::read(fd, buffer + got, size - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The peer: sends a message and waits for the 3-byte answer, `count` times, adding to `ms`.
bool RoundTrips(int peer, int count, std::vector<double>& ms) {
  const uint8_t message[kMessage] = {0x61, 0x0C, 0x01};
  uint8_t reply[kMessage];
  for (int i = 0; i < count; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (::write(peer, message, kMessage) != kMessage || !ReadExactly(peer, reply, kMessage))
      return false;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  return true;
}

// The floor: a bare pseudo-terminal answered by one thread with poll, read and write.
class OneThreadResponder {
 public:
  OneThreadResponder() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    termios raw{};
    tcgetattr(master_, &raw);
    cfmakeraw(&raw);
    tcsetattr(master_, TCSANOW, &raw);
    peer_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
    thread_ = std::thread([this] { Serve(); });
  }
  ~OneThreadResponder() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    if (peer_ >= 0) ::close(peer_);
    if (master_ >= 0) ::close(master_);
  }
  int Peer() const { return peer_; }

 private:
  void Serve() {
    uint8_t buffer[64];
    std::size_t waiting = 0;
    while (!done_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = ::read(master_, buffer + waiting, sizeof buffer - waiting);
      if (n <= 0) continue;
      waiting += static_cast<std::size_t>(n);
      if (waiting < kMessage) continue;
      for (std::size_t i = 0; i < kMessage; ++i) buffer[i] ^= 0x80;
      if (::write(master_, buffer, kMessage) != kMessage) return;
      waiting = 0;
    }
  }
  int master_ = -1;
  int peer_ = -1;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace

int main() {
  const std::string link = "/tmp/selkie-bench-" + std::to_string(getpid());
  setenv(("SELKIE_COM" + std::to_string(kComNumber)).c_str(), ("pty:" + link).c_str(), 1);
  auto loop = std::make_shared<OwnerLoop>();
  TSerialPort port(loop);
  port.SetComNumber(kComNumber);
  port.SetBaud(38400);
  port.SetAutoOpen(false);
  port.OnTriggerAvail = [](TSerialPort& p, uint16_t count) {
    if (count < kMessage) return;  // wait for the whole message
    std::vector<uint8_t> reply(kMessage);
    for (uint8_t& b : reply) b = static_cast<uint8_t>(p.ReadByte() ^ 0x80);
    p.WriteString(reply);
  };
  port.SetOpen(true);
  const int peer = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  OneThreadResponder floor;
  if (peer < 0 || floor.Peer() < 0) {
    std::perror("open");
    return 1;
  }

  std::vector<double> portMs, floorMs;
  std::atomic<bool> done{false};
  bool ok = true;
  std::thread peerThread([&] {
    for (int i = 0; i < kRoundTrips / kBlock && ok; ++i) {
      ok = RoundTrips(floor.Peer(), kBlock, floorMs) && RoundTrips(peer, kBlock, portMs);
    }
    done = true;
  });
  while (!done) loop->Pump(std::chrono::milliseconds(10));
  peerThread.join();
  ::close(peer);
  port.SetOpen(false);
  if (!ok) {
    std::fprintf(stderr, "a round trip timed out\n");
    return 1;
  }
  PrintStats("one-thread pty responder, 3 bytes each way", floorMs);
  PrintStats("pty: port round trip, 3 bytes each way", portMs);
  std::printf("port / one-thread: median %.2fx  p99 %.2fx\n",
              Percentile(portMs, 50) / Percentile(floorMs, 50),
              Percentile(portMs, 99) / Percentile(floorMs, 99));
  return 0;
}
