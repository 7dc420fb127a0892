// The timing a personality gives the whole program over a pty, beside the plain machine in the
// same run (requests interleaved, one to each machine in turn): first-byte times with
// reply_delay_ms 4 and jitter 1 (goal: median 4-5 ms, none after 9 ms), the whole 18-byte status
// reply with byte_time_us 286 (goal: >= 4.9 ms), and with receive_timeout_ms 10 and nak_timeout
// a stray byte, the NAK's time and the reply to a request after 30 ms of silence (goal: at once).
// Usage: personality_timing [requests]
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "HeadlessPrinter.h"
#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The figures of the exchanges that were answered whole, and how many were not.
void Print(const std::string& what, std::vector<double> ms) {
  const auto missing = std::erase_if(ms, [](double t) { return t < 0; });
  PrintStats(what, ms);
  if (missing > 0) std::printf("  %zu without a whole reply\n", missing);
}

void PrintLoad() {
  std::ifstream in("/proc/loadavg");
  std::string load;
  std::getline(in, load);
  std::printf("load average: %s (figures are only as good as the machine is quiet)\n",
              load.c_str());
}

// A headless machine on its own thread, on a pty linked at `link`.
class Machine {
 public:
  Machine(const std::string& link, const std::string& personalityText) {
    ProgramOptions options;
    options.headless = true;
    options.portA = "pty:" + link;
    if (!personalityText.empty()) {
      const std::string file = link + ".toml";
      std::ofstream(file) << personalityText;
      options.personality = file;
    }
    thread_ = std::thread([this, options] {
      std::ostringstream sink;
      HeadlessPrinter printer(options, sink, sink);
      printer.Start();
      printer.Run(stop_);
    });
  }
  ~Machine() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class Editor {
 public:
  explicit Editor(const std::string& link) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!std::filesystem::exists(link) && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    fd_ = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~Editor() { ::close(fd_); }

  struct Timing {
    double firstMs = -1;  // -1: nothing came
    double lastMs = -1;
  };
  // Sends `request` (may be empty) and reads `count` bytes within `waitMs`.
  Timing Exchange(const Bytes& request, std::size_t count, int waitMs = 1000) {
    const auto start = Clock::now();
    if (!request.empty()) (void)!::write(fd_, request.data(), request.size());
    Timing timing;
    std::size_t got = 0;
    while (got < count && MsSince(start) < waitMs) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 1) <= 0) continue;
      uint8_t buffer[64];
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got));
      if (n <= 0) continue;
      if (got == 0) timing.firstMs = MsSince(start);
      got += static_cast<std::size_t>(n);
      timing.lastMs = MsSince(start);
    }
    if (got < count) timing.lastMs = -1;
    return timing;
  }

 private:
  int fd_ = -1;
};

const Bytes kTimeSense = {0x61, 0x0C, 0x01, 0x6E};
const Bytes kStatusSense = {0x61, 0x20, 0x0F, 0x90};
const Bytes kPlay = {0x20, 0x01, 0x21};

struct Pair {
  Pair(const std::string& folder, const std::string& name, const std::string& personality)
      : plain(folder + "/" + name + "-plain", ""),
        shaped(folder + "/" + name, personality),
        plainEditor(folder + "/" + name + "-plain"),
        shapedEditor(folder + "/" + name) {}
  Machine plain, shaped;
  Editor plainEditor, shapedEditor;
};

void DelayAndJitter(const std::string& folder, int requests) {
  Pair pair(folder, "delay", "[timing]\nreply_delay_ms = 4\nreply_jitter_ms = 1\nseed = 1\n");
  std::vector<double> plain, shaped;
  int late = 0;
  for (int i = 0; i < requests; ++i) {
    plain.push_back(pair.plainEditor.Exchange(kTimeSense, 7).firstMs);
    const double first = pair.shapedEditor.Exchange(kTimeSense, 7).firstMs;
    shaped.push_back(first);
    if (first > 9.0 || first < 0) ++late;
  }
  Print("first byte, plain machine", plain);
  Print("first byte, reply_delay_ms 4 jitter 1", shaped);
  std::printf("  replies after 9 ms or missing: %d of %d\n", late, requests);
}

void ByteTime(const std::string& folder, int requests) {
  Pair pair(folder, "bytes", "[timing]\nbyte_time_us = 286\n");
  std::vector<double> plain, shaped;
  for (int i = 0; i < requests; ++i) {
    plain.push_back(pair.plainEditor.Exchange(kStatusSense, 18).lastMs);
    shaped.push_back(pair.shapedEditor.Exchange(kStatusSense, 18).lastMs);
  }
  Print("18-byte status reply, plain machine", plain);
  Print("18-byte status reply, byte_time_us 286", shaped);
}

void ReceiveTimeout(const std::string& folder, int rounds) {
  Pair pair(folder, "timeout", "[timing]\nreceive_timeout_ms = 10\n[errors]\nnak_timeout = true\n");
  std::vector<double> nak, after;
  int plainUnanswered = 0;
  for (int i = 0; i < rounds; ++i) {
    // A stray byte, 30 ms of silence (the NAK is read meanwhile), then a request.
    const auto start = Clock::now();
    nak.push_back(pair.shapedEditor.Exchange({0x05}, 4, 30).firstMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(30) - (Clock::now() - start));
    after.push_back(pair.shapedEditor.Exchange(kPlay, 3).firstMs);
    pair.plainEditor.Exchange({0x05}, 1, 30);
    const double plain = pair.plainEditor.Exchange(kPlay, 3, 30).firstMs;
    if (plain < 0) ++plainUnanswered;
    // The plain machine's ring now holds 05 20 01 21 and waits for more: clear it for the next
    // round with the rest of that 8-byte "message".
    if (plain < 0) pair.plainEditor.Exchange({0, 0, 0, 0}, 64, 20);
  }
  Print("NAK 80 after a stray byte, receive_timeout_ms 10", nak);
  Print("reply to the request 30 ms later", after);
  std::printf("  plain machine: %d of %d such requests unanswered\n", plainUnanswered, rounds);
}

}  // namespace

int main(int argc, char** argv) {
  const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
  char folderTemplate[] = "/tmp/selkie-personality-XXXXXX";
  const char* folder = ::mkdtemp(folderTemplate);
  if (folder == nullptr) return 1;
  PrintLoad();
  DelayAndJitter(folder, requests);
  ByteTime(folder, requests);
  ReceiveTimeout(folder, std::max(10, requests / 10));
  PrintLoad();
  std::filesystem::remove_all(folder);
  return 0;
}
