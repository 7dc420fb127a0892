// Frame tick regularity: the spread of the intervals between frame ticks at 60 ms and 40 ms for a
// headless run, and at the window's 60 ms and 100 ms (sync row shown) for the window (offscreen,
// port A on the virtual cable).
// Usage: app_tick_jitter [seconds per run, default 10; the full measurement uses 60]
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "HeadlessPrinter.h"
#include "PortMap.h"
#include "bench_window.h"
#include "latency_stats.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records the time between successive calls.
struct Intervals {
  std::vector<double> ms;
  Clock::time_point last{};
  void Tick() {
    const auto now = Clock::now();
    if (last != Clock::time_point{})
      ms.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
  }
};

void Headless(int tickMs, int seconds) {
  ProgramOptions options;
  options.headless = true;
  options.portA = "COM251";
  options.tickMs = tickMs;
  std::ostringstream sink;
  HeadlessPrinter printer(options, sink, sink);
  Intervals intervals;
  printer.Start();
  printer.Host().Call([&](HostCore& host) { host.OnFrameTick = [&] { intervals.Tick(); }; });
  std::atomic<bool> stop{false};
  std::thread timer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
  });
  printer.Run(stop);
  timer.join();
  PrintStats("headless tick interval at " + std::to_string(tickMs) + " ms", intervals.ms);
}

void Window(bool syncRow, int seconds, const std::string& folder) {
  BenchWindow window(folder, PortMap::kCableA, syncRow);
  Intervals intervals;
  window.main.Host().Call([&](HostCore& host) { host.OnFrameTick = [&] { intervals.Tick(); }; });
  window.main.show();
  QTimer::singleShot(seconds * 1000, [] { QApplication::quit(); });
  QApplication::exec();
  window.main.Host().Stop();
  const int tickMs = LayoutTimer1IntervalMs(syncRow);
  PrintStats("window tick interval at " + std::to_string(tickMs) + " ms", intervals.ms);
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  std::string folder = "/tmp/selkie-jitter-XXXXXX";
  if (!::mkdtemp(folder.data())) return 1;
  std::printf("Frame tick intervals over %d s per run\n", seconds);
  for (int tick : {60, 40}) Headless(tick, seconds);
  for (bool syncRow : {false, true}) Window(syncRow, seconds, folder);
  std::filesystem::remove_all(folder);
  return 0;
}
