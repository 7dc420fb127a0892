// Round-trip latency through a pty: port, against a one-thread responder on a bare
// pseudo-terminal in the same run. A peer program's stand-in (a thread) writes a 3-byte message
// to the link; the port's data event on the owner thread answers with 3 bytes; the peer reads
// them. The one-thread responder does the same with poll, read and write on a thread of its
// own: the floor a port with its hand-overs is measured against. Prints median, p99, p99.9 and
// max over 10,000 round trips each, and the ratios of the medians and the p99s.
#include "OwnerLoop.h"
#include "SerialPort.h"
#include "latency_stats.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRoundTrips = 10000;
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

// The peer: sends a message, waits for the 3-byte answer, kRoundTrips times. Empty on failure.
std::vector<double> RoundTrips(int peer) {
  std::vector<double> ms;
  ms.reserve(kRoundTrips);
  const uint8_t message[kMessage] = {0x61, 0x0C, 0x01};
  uint8_t reply[kMessage];
  for (int i = 0; i < kRoundTrips; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (::write(peer, message, kMessage) != kMessage || !ReadExactly(peer, reply, kMessage)) return {};
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  return ms;
}

std::vector<double> ThroughThePort() {
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
  if (peer < 0) return {};
  std::atomic<bool> done{false};
  std::vector<double> ms;
  std::thread peerThread([&] {
    ms = RoundTrips(peer);
    done = true;
  });
  while (!done) loop->Pump(std::chrono::milliseconds(10));
  peerThread.join();
  ::close(peer);
  return ms;
}

// The same exchange with nothing between the pseudo-terminal and the answer.
std::vector<double> OneThreadResponder() {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return {};
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);
  const int peer = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (peer < 0) return {};
  std::atomic<bool> done{false};
  std::thread responder([&] {
    uint8_t buffer[64];
    std::size_t waiting = 0;
    while (!done) {
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = ::read(master, buffer + waiting, sizeof buffer - waiting);
      if (n <= 0) continue;
      waiting += static_cast<std::size_t>(n);
      if (waiting < kMessage) continue;
      for (std::size_t i = 0; i < kMessage; ++i) buffer[i] ^= 0x80;
      if (::write(master, buffer, kMessage) != kMessage) break;
      waiting = 0;
    }
  });
  std::vector<double> ms = RoundTrips(peer);
  done = true;
  responder.join();
  ::close(peer);
  ::close(master);
  return ms;
}

}  // namespace

int main() {
  const std::vector<double> floor = OneThreadResponder();
  const std::vector<double> port = ThroughThePort();
  if (floor.empty() || port.empty()) {
    std::fprintf(stderr, "a round trip failed or timed out\n");
    return 1;
  }
  PrintStats("one-thread pty responder, 3 bytes each way", floor);
  PrintStats("pty: port round trip, 3 bytes each way", port);
  std::printf("port / one-thread: median %.2fx  p99 %.2fx\n",
              Percentile(port, 50) / Percentile(floor, 50), Percentile(port, 99) / Percentile(floor, 99));
  return 0;
}
