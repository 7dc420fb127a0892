// A rack under an edit controller's load: `selkietest --headless --rack N` on ptys, every machine
// polled by one editor stand-in at 25 frames a second with four requests a frame (status, time
// code, device type, timer), each sent when the last reply is whole. Prints, per rack size, the
// first-byte time (p50, p99, max), replies missing at the frame's end, the program's CPU (% of one
// core), resident memory and thread count. The baseline is the plain single-machine run
// (--port-a); 1, 8 and 35 machines follow, interleaved with it slice by slice in one run.
// Usage: rack_load [seconds per size, default 60]
#include <fcntl.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SonyBytes.h"
#include "TempDir.h"
#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kFrame = std::chrono::milliseconds(40);
constexpr auto kSlice = std::chrono::seconds(10);
const std::vector<std::vector<uint8_t>> kRequests = {
    Framed({0x61, 0x20, 0x0F}), Framed({0x61, 0x0C, 0x01}), Framed({0x00, 0x11}),
    Framed({0x61, 0x0C, 0x04})};

struct Figures {
  std::vector<double> firstByteMs;
  long missing = 0;
  long sent = 0;
  double cpuSeconds = 0;
  double wallSeconds = 0;
  long rssKb = 0;
  long threads = 0;
};

pid_t Spawn(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid == 0) {
    (void)!freopen("/dev/null", "w", stdout);
    std::vector<std::string> all = {SELKIE_PROGRAM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(SELKIE_PROGRAM, argv.data());
    _exit(127);
  }
  return pid;
}

double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long StatusField(pid_t pid, const std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(name + ":", 0) == 0) return std::atol(line.c_str() + name.size() + 1);
  return 0;
}

int OpenRaw(const std::string& path) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!std::filesystem::exists(path) && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fd;
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// One machine's editor: the request under way and the reply so far.
struct Editor {
  int fd = -1;
  std::size_t next = 0;  // requests of this frame sent
  bool waiting = false;
  bool gotFirst = false;
  Clock::time_point sentAt;
  std::size_t want = 3;
  std::size_t got = 0;

  void Send(Figures& figures) {
    const std::vector<uint8_t>& request = kRequests[next++];
    (void)!::write(fd, request.data(), request.size());
    sentAt = Clock::now();
    waiting = true;
    gotFirst = false;
    want = 3;
    got = 0;
    ++figures.sent;
  }
};

void Poll(std::vector<Editor>& editors, Clock::duration length, Figures& figures) {
  const int epoll = epoll_create1(EPOLL_CLOEXEC);
  for (std::size_t i = 0; i < editors.size(); ++i) {
    epoll_event event{EPOLLIN, {.u64 = i}};
    epoll_ctl(epoll, EPOLL_CTL_ADD, editors[i].fd, &event);
  }
  const auto end = Clock::now() + length;
  for (auto frame = Clock::now(); frame < end; frame += kFrame) {
    for (Editor& editor : editors) {
      if (editor.waiting) ++figures.missing;  // the frame ended without the whole reply
      editor.next = 0;
      editor.Send(figures);
    }
    const auto frameEnd = frame + kFrame;
    for (auto now = Clock::now(); now < frameEnd; now = Clock::now()) {
      epoll_event events[64];
      const int waitMs =
          static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(frameEnd - now).count());
      const int n = epoll_wait(epoll, events, 64, waitMs);
      const auto at = Clock::now();
      for (int k = 0; k < n; ++k) {
        Editor& editor = editors[events[k].data.u64];
        uint8_t buffer[256];
        const ssize_t count = ::read(editor.fd, buffer, sizeof buffer);
        if (count <= 0 || !editor.waiting) continue;
        if (!editor.gotFirst) {
          editor.gotFirst = true;
          editor.want = static_cast<std::size_t>((buffer[0] & 0x0F) + 3);
          figures.firstByteMs.push_back(
              std::chrono::duration<double, std::milli>(at - editor.sentAt).count());
        }
        editor.got += static_cast<std::size_t>(count);
        if (editor.got < editor.want) continue;
        editor.waiting = false;
        if (editor.next < kRequests.size()) editor.Send(figures);
      }
    }
  }
  ::close(epoll);
}

// One slice: a fresh program with `machines` machines (0: the plain --port-a run).
void Slice(int machines, const std::filesystem::path& dir, Clock::duration length,
           Figures& figures) {
  const std::string pattern = (dir / "vtr{n}").string();
  std::vector<std::string> args = {"--headless", "--tick", "40"};
  if (machines == 0) {
    args.insert(args.end(), {"--port-a", "pty:" + (dir / "vtr1").string()});
  } else {
    args.insert(args.end(), {"--rack", std::to_string(machines), "--port-a", "pty:" + pattern});
  }
  const pid_t pid = Spawn(args);
  std::vector<Editor> editors(static_cast<std::size_t>(std::max(machines, 1)));
  for (std::size_t i = 0; i < editors.size(); ++i)
    editors[i].fd = OpenRaw((dir / ("vtr" + std::to_string(i + 1))).string());
  Figures warmUp;
  Poll(editors, std::chrono::seconds(1), warmUp);  // not counted
  Figures slice;
  const double cpuStart = CpuSeconds(pid);
  const auto wallStart = Clock::now();
  Poll(editors, length, slice);
  figures.cpuSeconds += CpuSeconds(pid) - cpuStart;
  figures.wallSeconds += std::chrono::duration<double>(Clock::now() - wallStart).count();
  figures.rssKb = std::max(figures.rssKb, StatusField(pid, "VmRSS"));
  figures.threads = std::max(figures.threads, StatusField(pid, "Threads"));
  figures.firstByteMs.insert(figures.firstByteMs.end(), slice.firstByteMs.begin(),
                             slice.firstByteMs.end());
  figures.missing += slice.missing;
  figures.sent += slice.sent;
  for (Editor& editor : editors) ::close(editor.fd);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const int sizes[] = {0, 1, 8, 35};
  std::vector<Figures> figures(std::size(sizes));
  TempDir dir;
  // Slices of every size in turn, so that the machine's other load falls on all of them alike.
  for (auto done = Clock::duration::zero(); done < std::chrono::seconds(seconds);) {
    const auto length = std::min<Clock::duration>(kSlice, std::chrono::seconds(seconds) - done);
    for (std::size_t i = 0; i < std::size(sizes); ++i)
      Slice(sizes[i], dir.path(), length, figures[i]);
    done += length;
  }
  std::printf("rack_load: %d s per size, 25 frames/s, 4 requests/frame per machine\n", seconds);
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    const Figures& f = figures[i];
    const std::string what =
        sizes[i] == 0 ? "baseline (--port-a, one machine)" : "rack of " + std::to_string(sizes[i]);
    // The few late ones tell a stall of the program (many, in every rack size) from the
    // machine's own hiccups (a handful, the baseline too).
    const auto late = std::count_if(f.firstByteMs.begin(), f.firstByteMs.end(),
                                    [](double ms) { return ms > 2.0; });
    std::printf(
        "%-34s requests %ld  first byte p50 %.3f ms  p99 %.3f ms  p99.9 %.3f ms  max %.3f ms  "
        "over 2 ms %ld  missing %ld  CPU %.1f %%  RSS %.1f MB  threads %ld\n",
        what.c_str(), f.sent, Percentile(f.firstByteMs, 50), Percentile(f.firstByteMs, 99),
        Percentile(f.firstByteMs, 99.9), Percentile(f.firstByteMs, 100), static_cast<long>(late),
        f.missing, f.wallSeconds > 0 ? 100.0 * f.cpuSeconds / f.wallSeconds : 0.0,
        static_cast<double>(f.rssKb) / 1024.0, f.threads);
  }
  return 0;
}
