// The whole program's reply on port A over a pseudo-terminal, against the floor it is held to.
// Three responders, each a process of its own, answer the same editor stand-in:
//   - baseline: one thread on a bare pty: poll, read, the virtual machine's answer, write;
//   - headless: the real program, `selkietest --headless --port-a pty:PATH`;
//   - window: the main window offscreen with the comms monitor shown and logging, port A on a pty.
// The editor sends CURRENT TIME SENSE and times the first reply byte and the whole 7-byte reply.
// The responders take turns in blocks so all see the same machine load. Prints, per responder,
// the median of the block medians and the p99 over every request, then the ratios with goals.
// On two cores the medians move with whether the editor and a responder share one; run under
// `taskset -c 1` (children inherit it) for ratios that do not depend on the scheduler's choice.
// Usage: program_reply [blocks] [requests-per-block] [program]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "VirtualMachine.h"
#include "bench_window.h"
#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint8_t kTimeSense[] = {0x61, 0x0C, 0x01, 0x6E};
constexpr std::size_t kReply = 7;
constexpr int kWarmUp = 200;

void MakeRaw(int fd) {
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
}

// The floor: everything on one thread, no hand-over. Ends when the editor closes its side.
[[noreturn]] void ServeOneThread(int master) {
  VirtualMachine vm;
  vm.FormShow();
  const VmEventContext context{true, false, false};
  uint8_t buffer[256];
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, -1) < 0) continue;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) _exit(0);
    const Bytes reply =
        vm.DataAvailable({buffer, static_cast<std::size_t>(n)}, context).ReplyBytes();
    if (!reply.empty() && ::write(master, reply.data(), reply.size()) < 0) _exit(1);
  }
}

// Starts the baseline responder in a child; returns the editor's side of its pty.
int StartBaseline(pid_t& child) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
  MakeRaw(master);
  const int editor = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  child = ::fork();
  if (child == 0) {
    ::close(editor);
    ServeOneThread(master);
  }
  ::close(master);
  return editor;
}

pid_t StartProgram(const std::string& program, const std::string& link) {
  const pid_t child = ::fork();
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    const std::string port = "pty:" + link;
    execl(program.c_str(), program.c_str(), "--headless", "--port-a", port.c_str(), nullptr);
    _exit(127);
  }
  return child;
}

// The window as the benchmarks build it, in a child with its own application, until killed.
pid_t StartWindow(const std::string& folder, const std::string& link) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("SELKIE_COM240", ("pty:" + link).c_str(), 1);
    int argc = 1;
    char name[] = "program_reply_window";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    BenchWindow window(folder, 240);
    window.comms.SetShowComs(true);
    window.comms.show();
    window.main.show();
    QApplication::exec();
    _exit(0);
  }
  return child;
}

int OpenLink(const std::string& link) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(link) && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd >= 0) MakeRaw(fd);
  return fd;
}

struct Samples {
  std::vector<double> first;       // ms to the first reply byte
  std::vector<double> whole;       // ms to the last reply byte
  std::vector<double> blockFirst;  // each block's median
  std::vector<double> blockWhole;
  int lost = 0;
};

// One request: false when the whole reply did not come within a second.
bool Request(int fd, double& firstMs, double& wholeMs) {
  const auto start = Clock::now();
  if (::write(fd, kTimeSense, sizeof kTimeSense) != sizeof kTimeSense) return false;
  std::size_t got = 0;
  uint8_t buffer[kReply];
  while (got < kReply) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) return false;
    const ssize_t n = ::read(fd, buffer + got, kReply - got);
    if (n <= 0) return false;
    if (got == 0) firstMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    got += static_cast<std::size_t>(n);
  }
  wholeMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return true;
}

void RunBlock(int fd, int requests, Samples& s) {
  std::vector<double> first, whole;
  for (int i = 0; i < requests; ++i) {
    double f = 0, w = 0;
    if (!Request(fd, f, w)) {
      ++s.lost;
      continue;
    }
    first.push_back(f);
    whole.push_back(w);
  }
  s.first.insert(s.first.end(), first.begin(), first.end());
  s.whole.insert(s.whole.end(), whole.begin(), whole.end());
  s.blockFirst.push_back(Percentile(first, 50));
  s.blockWhole.push_back(Percentile(whole, 50));
}

void Print(const char* name, const Samples& s) {
  std::printf(
      "%-9s n=%zu lost=%d  whole reply: median of block medians %.4f ms, p99 %.4f ms, "
      "max %.3f ms | first byte: %.4f ms, p99 %.4f ms\n",
      name, s.whole.size(), s.lost, Percentile(s.blockWhole, 50), Percentile(s.whole, 99),
      Percentile(s.whole, 100), Percentile(s.blockFirst, 50), Percentile(s.first, 99));
}

void Ratio(const char* what, const Samples& a, const Samples& b, double medianGoal,
           double p99Goal) {
  const double median = Percentile(a.blockWhole, 50) / Percentile(b.blockWhole, 50);
  const double p99 = Percentile(a.whole, 99) / Percentile(b.whole, 99);
  std::printf("%s: median %.3fx (goal <= %.2f) %s, p99 %.3fx", what, median, medianGoal,
              median <= medianGoal ? "met" : "MISSED", p99);
  if (p99Goal > 0) std::printf(" (goal <= %.2f) %s", p99Goal, p99 <= p99Goal ? "met" : "MISSED");
  std::printf("\n");
}

void Stop(pid_t child) {
  if (child <= 0) return;
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const int blocks = argc > 1 ? std::atoi(argv[1]) : 30;
  const int perBlock = argc > 2 ? std::atoi(argv[2]) : 300;
  const std::string program = argc > 3 ? argv[3] : SELKIE_SELKIETEST;
  std::string folder = "/tmp/selkie-reply-XXXXXX";
  if (blocks <= 0 || perBlock <= 0 || !::mkdtemp(folder.data())) {
    std::fprintf(stderr, "usage: program_reply [blocks] [requests-per-block] [program]\n");
    return 2;
  }
  ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);  // the children's, away from the user's
  pid_t baselinePid = -1;
  const int baseline = StartBaseline(baselinePid);
  const pid_t headlessPid = StartProgram(program, folder + "/headless");
  const pid_t windowPid = StartWindow(folder, folder + "/window");
  const int headless = OpenLink(folder + "/headless");
  const int window = OpenLink(folder + "/window");
  int status = 0;
  if (baseline < 0 || headless < 0 || window < 0) {
    std::fprintf(stderr, "a responder's pty did not open (baseline %d, headless %d, window %d)\n",
                 baseline, headless, window);
    status = 1;
  } else {
    std::printf("Port A reply over a pty, 61 0C 01 -> 7 bytes; %d interleaved blocks of %d\n",
                blocks, perBlock);
    Samples warm, b, h, w;
    for (int fd : {baseline, headless, window}) RunBlock(fd, kWarmUp, warm);
    for (int i = 0; i < blocks; ++i) {
      RunBlock(baseline, perBlock, b);
      RunBlock(headless, perBlock, h);
      RunBlock(window, perBlock, w);
    }
    Print("baseline", b);
    Print("headless", h);
    Print("window", w);
    Ratio("headless / one-thread baseline", h, b, 1.15, 1.3);
    Ratio("window / headless", w, h, 1.1, 0);
    std::printf("window p99 %.4f ms (goal < 0.3 ms) %s\n", Percentile(w.whole, 99),
                Percentile(w.whole, 99) < 0.3 ? "met" : "MISSED");
    status = b.lost + h.lost + w.lost == 0 ? 0 : 1;
  }
  for (int fd : {baseline, headless, window})
    if (fd >= 0) ::close(fd);
  Stop(baselinePid);
  Stop(headlessPid);
  Stop(windowPid);
  std::filesystem::remove_all(folder);
  return status;
}
