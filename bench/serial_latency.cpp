// Round-trip latency through a pty: port. A peer program's stand-in (a thread) writes a 3-byte
// message to the port's link; the port's data event on the owner thread answers with 3 bytes;
// the peer reads them. Prints median, p99, p99.9 and max over 10,000 round trips.
#include "OwnerLoop.h"
#include "SerialPort.h"
#include "latency_stats.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRoundTrips = 10000;
constexpr int kComNumber = 250;

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
    if (count < 3) return;  // wait for the whole message
    uint8_t reply[3];
    for (uint8_t& b : reply) b = static_cast<uint8_t>(p.ReadByte() ^ 0x80);
    p.WriteString(std::vector<uint8_t>(reply, reply + 3));
  };
  port.SetOpen(true);

  const int peer = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (peer < 0) {
    std::perror("open link");
    return 1;
  }
  std::vector<double> ms;
  ms.reserve(kRoundTrips);
  std::atomic<bool> done{false};
  bool failed = false;
  std::thread peerThread([&] {
    const uint8_t message[3] = {0x61, 0x0C, 0x01};
    uint8_t reply[3];
    for (int i = 0; i < kRoundTrips && !failed; ++i) {
      const auto start = std::chrono::steady_clock::now();
      failed = ::write(peer, message, 3) != 3 || !ReadExactly(peer, reply, 3);
      ms.push_back(std::chrono::duration<double, std::milli>(
                           std::chrono::steady_clock::now() - start).count());
    }
    done = true;
  });
  while (!done) loop->Pump(std::chrono::milliseconds(10));
  peerThread.join();
  ::close(peer);
  port.SetOpen(false);
  if (failed) {
    std::fprintf(stderr, "a round trip timed out\n");
    return 1;
  }
  PrintStats("pty round trip, 3 bytes each way", ms);
  return 0;
}
