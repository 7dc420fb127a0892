// The delay the bridge adds, on pseudo-terminals: a headless bridge stands between an editor (the
// link of its port A) and a machine played by this program on the master side of a second pty
// (its port B). Per exchange: editor writes a request -> the machine has read it whole, and the
// machine writes its reply -> the editor has read it whole. The same two legs straight through
// one pty give the floor the pty itself costs.
// Usage: bridge_latency [exchanges]
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "HeadlessPrinter.h"
#include "PtyEditor.h"
#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::vector<uint8_t> kTimeSense = {0x61, 0x0C, 0x01, 0x6E};
const std::vector<uint8_t> kTimeData = {0x74, 0x04, 0x00, 0x00, 0x00, 0x01, 0x79};

// The master side of a fresh pty, raw; its slave's path names the machine's port.
struct MachinePty {
  int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
  std::string slave;
  MachinePty() {
    ::grantpt(fd);
    ::unlockpt(fd);
    slave = ::ptsname(fd);
    termios t{};
    const int s = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ::tcgetattr(s, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(s, TCSANOW, &t);
    ::close(s);
  }
  ~MachinePty() { ::close(fd); }
  // Reads exactly `n` bytes; false on a second's silence.
  bool ReadExactly(std::size_t n) {
    uint8_t buffer[64];
    std::size_t got = 0;
    while (got < n) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) return false;
      const ssize_t r = ::read(fd, buffer, std::min(sizeof buffer, n - got));
      if (r > 0) got += static_cast<std::size_t>(r);
    }
    return true;
  }
  void Send(const std::vector<uint8_t>& bytes) { (void)!::write(fd, bytes.data(), bytes.size()); }
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Legs {
  std::vector<double> request;
  std::vector<double> reply;
};

// Runs `exchanges` exchanges between `editor` and `machine`; warm-up excluded.
Legs Measure(PtyEditor& editor, MachinePty& machine, int exchanges) {
  Legs legs;
  for (int i = -50; i < exchanges; ++i) {
    const auto sent = Clock::now();
    editor.Send(kTimeSense);
    if (!machine.ReadExactly(kTimeSense.size())) break;
    const auto seen = Clock::now();
    // Stamped before the write, as the request is: the bridge may run before write() returns.
    const auto replied = Clock::now();
    machine.Send(kTimeData);
    if (editor.ReadReply(1000).size() != kTimeData.size()) break;
    const auto back = Clock::now();
    if (i < 0) continue;
    legs.request.push_back(Ms(seen - sent));
    legs.reply.push_back(Ms(back - replied));
  }
  return legs;
}

void Print(const std::string& what, const Legs& legs) {
  PrintStats(what + ", editor -> machine", legs.request);
  PrintStats(what + ", machine -> editor", legs.reply);
}

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 5000;
  std::string folder = "/tmp/selkie-bridge-XXXXXX";
  if (!::mkdtemp(folder.data())) return 1;
  std::printf("Bridge delay over ptys, %d exchanges of 61 0C 01 / 74 04 (goal: p99 < 0.5 ms)\n",
              exchanges);
  {
    MachinePty machine;
    PtyEditor editor(machine.slave);
    Print("one pty, no bridge", Measure(editor, machine, exchanges));
  }
  MachinePty machine;
  ProgramOptions options;
  options.headless = options.bridge = true;
  options.portA = "pty:" + folder + "/editor";
  options.portB = machine.slave;
  std::ostringstream sink;
  HeadlessPrinter printer(options, sink, sink);
  printer.Start();
  std::atomic<bool> stop{false};
  Legs legs;
  std::thread editorThread([&] {
    PtyEditor editor(folder + "/editor");
    legs = Measure(editor, machine, exchanges);
    stop = true;
  });
  printer.Run(stop);
  editorThread.join();
  Print("through the bridge", legs);
  std::filesystem::remove_all(folder);
  return legs.request.size() == static_cast<std::size_t>(exchanges) ? 0 : 1;
}
