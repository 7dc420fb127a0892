// Soak run of the headless program: `selkietest --headless` runs as a child process with port A
// and port B on pseudo-terminals. This program is the editor on port A (a mixed request stream,
// bursts of garbage, closing and reopening the link) and the machine on port B (it answers the
// child's controller). Once a minute it prints replies per second, reply-time percentiles, the
// child's resident memory and the mismatches so far.
// Usage: soak [minutes (10)] [path of selkietest]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

uint8_t Checksum(const Bytes& bytes, std::size_t count) {
  uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
  return sum;
}

Bytes Framed(Bytes message) {
  message.push_back(Checksum(message, message.size()));
  return message;
}

// A request of the editor's stream and what its reply must look like.
struct Request {
  Bytes bytes;
  uint8_t replyGroup;  // high nibble of the reply's CMD-1
  int replyCmd2;       // -1: any
};

const std::vector<Request>& Stream() {
  static const std::vector<Request> stream = {
      {Framed({0x61, 0x0C, 0x01}), 0x7, -1},    // current time sense
      {Framed({0x61, 0x20, 0x0A}), 0x7, 0x20},  // status sense, 10 bytes
      {Framed({0x61, 0x20, 0x04}), 0x7, 0x20},
      {Framed({0x00, 0x11}), 0x1, 0x11},                        // device type
      {Framed({0x00, 0xB3}), 0x1, 0xB3},                        // version
      {Framed({0x20, 0x01}), 0x1, -1},                          // play
      {Framed({0x20, 0x00}), 0x1, -1},                          // stop
      {Framed({0x21, 0x11, 0x40}), 0x1, -1},                    // jog forward
      {Framed({0x20, 0x10}), 0x1, -1},                          // fast forward
      {Framed({0x60, 0x30}), 0x7, 0x30},                        // edit preset sense
      {Framed({0x44, 0x04, 0x00, 0x10, 0x00, 0x01}), 0x1, -1},  // IN entry
      {Framed({0x24, 0x31, 0x00, 0x00, 0x00, 0x00}), 0x1, -1},  // cue up
  };
  return stream;
}

int OpenRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  return fd;
}

void WriteAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
  }
}

// Reads whatever arrives within `ms` milliseconds (returns as soon as `want` bytes are held).
void ReadFor(int fd, Bytes& into, std::size_t want, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (into.size() < want) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (left.count() <= 0) return;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    uint8_t buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) into.insert(into.end(), buffer, buffer + n);
  }
}

// The length of the message at the start of `bytes` when it is whole and checked.
std::optional<std::size_t> WholeMessage(const Bytes& bytes) {
  if (bytes.empty()) return std::nullopt;
  const std::size_t length = (bytes[0] & 0x0F) + 3u;
  if (bytes.size() < length || Checksum(bytes, length - 1) != bytes[length - 1])
    return std::nullopt;
  return length;
}

struct Minute {
  std::vector<double> ms;
  long garbage = 0;
  long churns = 0;
  long resyncs = 0;
};

// The editor on port A. Every checked request must get exactly one well-framed reply of the
// expected kind and nothing else.
class Editor {
 public:
  Editor(std::string link, std::atomic<long>& mismatches)
      : link_(std::move(link)), mismatches_(mismatches) {}
  ~Editor() {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Open() {
    fd_ = OpenRaw(link_);
    return fd_ >= 0;
  }

  void Step(Minute& minute) {
    const int dice = static_cast<int>(random_() % 1000);
    if (dice < 5) {
      last_ = "link reopened";
      Churn();
      ++minute.churns;
    } else if (dice < 20) {
      Garbage();
      ++minute.garbage;
      minute.resyncs += Resync();
      last_ = "garbage and resync";
    } else {
      Checked(minute);
      last_ = "request";
    }
  }

 private:
  void Checked(Minute& minute) {
    const Request& request = Stream()[random_() % Stream().size()];
    Bytes reply;
    const auto start = Clock::now();
    WriteAll(fd_, request.bytes);
    ReadFor(fd_, reply, 1, 1000);
    if (!reply.empty()) ReadFor(fd_, reply, (reply[0] & 0x0F) + 3u, 1000);
    const auto end = Clock::now();
    const auto length = WholeMessage(reply);
    ReadFor(fd_, reply, reply.size() + 1, 0);  // anything more already waiting is a fault
    const bool kindOk = length && (reply[0] >> 4) == request.replyGroup &&
                        (request.replyCmd2 < 0 || reply[1] == request.replyCmd2);
    if (!length || *length != reply.size() || !kindOk) {
      Mismatch(request.bytes, reply);
      Resync();
      return;
    }
    minute.ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }

  void Mismatch(const Bytes& request, const Bytes& reply) {
    ++mismatches_;
    std::string text;
    char hex[4];
    for (uint8_t b : request) text += (std::snprintf(hex, sizeof hex, "%02X ", b), hex);
    text += "->";
    for (uint8_t b : reply) text += (std::snprintf(hex, sizeof hex, " %02X", b), hex);
    std::printf("mismatch: %s (after %s)\n", text.c_str(), last_);
    std::fflush(stdout);
  }

  // Random bytes, sometimes more than one event may hold; the replies they provoke are dropped.
  void Garbage() {
    Bytes bytes(1 + random_() % 40);
    for (auto& b : bytes) b = static_cast<uint8_t>(random_());
    WriteAll(fd_, bytes);
    Bytes ignored;
    ReadFor(fd_, ignored, SIZE_MAX, 30);
  }

  // Brings the ring back to a message boundary: filler bytes that never pass a checksum (F0 F0
  // sums to E0) then a status sense for `attempt` bytes, in one write of 30 bytes, so that any
  // debris held is dropped by the over-fill rule. Each attempt asks for a different count, so a
  // late answer to an earlier attempt is never taken for this one. Done when the last reply is
  // the answer to this attempt: every earlier byte has then been read.
  int Resync() {
    for (int attempt = 1; attempt <= 15; ++attempt) {
      const Bytes request = Framed({0x61, 0x20, static_cast<uint8_t>(attempt)});
      Bytes burst(30 - request.size(), 0xF0);
      burst.insert(burst.end(), request.begin(), request.end());
      WriteAll(fd_, burst);
      const auto end = Clock::now() + std::chrono::seconds(1);
      Bytes replies;
      while (Clock::now() < end) {
        ReadFor(fd_, replies, replies.size() + 1, 50);
        if (EndsWithStatus(replies, attempt)) return attempt;
      }
    }
    std::printf("resync failed\n");
    ++mismatches_;
    return 15;
  }

  // A status reply of `count` bytes (7n 20 ...) closes `replies`.
  static bool EndsWithStatus(const Bytes& replies, int count) {
    const std::size_t length = static_cast<std::size_t>(count) + 3;
    if (replies.size() < length) return false;
    const Bytes tail(replies.end() - static_cast<long>(length), replies.end());
    return tail[0] == (0x70 | count) && tail[1] == 0x20 && WholeMessage(tail) == length;
  }

  void Churn() {
    ::close(fd_);
    fd_ = OpenRaw(link_);
    if (fd_ < 0) {
      std::printf("reopen of %s failed\n", link_.c_str());
      ++mismatches_;
      std::exit(2);
    }
  }

  std::string link_;
  std::atomic<long>& mismatches_;
  int fd_ = -1;
  const char* last_ = "start";
  std::mt19937 random_{12345};
};

// The machine on port B: answers each whole message of the child's controller; a frame with a
// bad checksum is a mismatch.
class Machine {
 public:
  Machine(std::string link, std::atomic<long>& mismatches, std::atomic<long>& frames)
      : link_(std::move(link)), mismatches_(mismatches), frames_(frames) {}

  void Run(const std::atomic<bool>& stop) {
    const int fd = OpenRaw(link_);
    if (fd < 0) {
      std::printf("cannot open %s\n", link_.c_str());
      ++mismatches_;
      return;
    }
    Bytes held;
    while (!stop) {
      ReadFor(fd, held, held.size() + 1, 50);
      while (!held.empty()) {
        const std::size_t length = (held[0] & 0x0F) + 3u;
        if (held.size() < length) break;
        if (Checksum(held, length - 1) != held[length - 1]) {
          std::printf("port B: badly framed bytes from the controller\n");
          ++mismatches_;
          held.clear();
          break;
        }
        ++frames_;
        WriteAll(fd, Answer(held[0], held[1]));
        held.erase(held.begin(), held.begin() + static_cast<long>(length));
      }
    }
    ::close(fd);
  }

 private:
  static Bytes Answer(uint8_t cmd1, uint8_t cmd2) {
    if (cmd1 == 0x00 && cmd2 == 0x11) return Framed({0x12, 0x11, 0xF1, 0x1D});
    if ((cmd1 & 0xF0) == 0x60 && cmd2 == 0x20) return Framed({0x74, 0x20, 0x00, 0x81, 0x80, 0x00});
    if ((cmd1 & 0xF0) == 0x60) return Framed({0x74, 0x04, 0x12, 0x34, 0x56, 0x01});
    return Framed({0x10, 0x01});
  }

  std::string link_;
  std::atomic<long>& mismatches_;
  std::atomic<long>& frames_;
};

long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

pid_t StartChild(const std::string& program, const std::string& folder) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    const std::string a = "pty:" + folder + "/a", b = "pty:" + folder + "/b";
    const std::string settings = folder + "/settings.ini";
    ::execl(program.c_str(), program.c_str(), "--headless", "--port-a", a.c_str(), "--port-b",
            b.c_str(), "--settings", settings.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

bool WaitForLinks(const std::string& folder) {
  for (int i = 0; i < 500; ++i) {
    if (std::filesystem::exists(folder + "/a") && std::filesystem::exists(folder + "/b"))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const double minutes = argc > 1 ? std::atof(argv[1]) : 10;
  const std::string program = argc > 2 ? argv[2] : SELKIE_SELKIETEST;
  char folderTemplate[] = "/tmp/selkie-soak-XXXXXX";
  const std::string folder = ::mkdtemp(folderTemplate);

  const pid_t child = StartChild(program, folder);
  if (!WaitForLinks(folder)) {
    std::printf("the child made no pty links\n");
    return 2;
  }
  std::atomic<long> mismatches{0}, controllerFrames{0};
  std::atomic<bool> stop{false};
  Machine machine(folder + "/b", mismatches, controllerFrames);
  std::thread machineThread([&] { machine.Run(stop); });
  Editor editor(folder + "/a", mismatches);
  if (!editor.Open()) return 2;

  std::printf("soak: %.1f min, child %d, links in %s\n", minutes, static_cast<int>(child),
              folder.c_str());
  std::printf(
      "min  replies/s  p50 ms  p90 ms  p99 ms  max ms  RSS kB  B frames/s  garbage churn resync  "
      "mismatches\n");
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double, std::ratio<60>>(minutes));
  long firstRss = -1, lastRss = -1, rssLow = 0, rssHigh = 0;
  int index = 0;
  bool childAlive = true;
  while (Clock::now() < end && childAlive) {
    Minute minute;
    const long framesBefore = controllerFrames;
    const auto minuteEnd = std::min(end, Clock::now() + std::chrono::minutes(1));
    const auto minuteStart = Clock::now();
    while (Clock::now() < minuteEnd) {
      editor.Step(minute);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));  // an editor, not a flood
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - minuteStart).count();
    int status = 0;
    childAlive = ::waitpid(child, &status, WNOHANG) == 0;
    if (!childAlive) {
      if (WIFSIGNALED(status))
        std::printf("the child ended by signal %d\n", WTERMSIG(status));
      else
        std::printf("the child ended with status %d\n", WEXITSTATUS(status));
    }
    const long rss = childAlive ? ResidentKb(child) : -1;
    ++index;
    if (index == 1) {
      rssLow = rssHigh = rss;
    } else {
      if (firstRss < 0) firstRss = rss;
      rssLow = std::min(rssLow, rss);
      rssHigh = std::max(rssHigh, rss);
    }
    lastRss = rss;
    std::printf("%3d  %9.1f  %6.3f  %6.3f  %6.3f  %6.2f  %6ld  %10.1f  %7ld %5ld %6ld  %ld\n",
                index, static_cast<double>(minute.ms.size()) / seconds, Percentile(minute.ms, 50),
                Percentile(minute.ms, 90), Percentile(minute.ms, 99), Percentile(minute.ms, 100),
                rss, static_cast<double>(controllerFrames - framesBefore) / seconds, minute.garbage,
                minute.churns, minute.resyncs, mismatches.load());
    std::fflush(stdout);
  }
  stop = true;
  machineThread.join();
  if (childAlive) {
    ::kill(child, SIGTERM);
    ::waitpid(child, nullptr, 0);
  } else {
    ++mismatches;  // an early end counts as a mismatch; how it ended is printed above
  }
  std::filesystem::remove_all(folder);
  const long drift = index > 1 ? rssHigh - rssLow : 0;
  std::printf(
      "summary: %d min, RSS after minute 1 %ld kB, at end %ld kB, spread after minute 1 %ld kB, "
      "mismatches %ld\n",
      index, firstRss, lastRss, drift, mismatches.load());
  return mismatches == 0 && drift <= 1024 ? 0 : 1;
}
