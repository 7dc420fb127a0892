// Frame tick regularity: the spread of the intervals between frame ticks at 60 ms and 40 ms, for
// the headless runner and for the window (offscreen, port A on the virtual cable).
// Usage: app_tick_jitter [seconds per run, default 10; the full measurement uses 60]
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "bench_window.h"
#include "latency_stats.h"
#include "HeadlessRunner.h"
#include "PortMap.h"

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
  HeadlessRunner runner(options, sink);
  Intervals intervals;
  runner.OnFrameTick = [&] { intervals.Tick(); };
  runner.Start();
  std::atomic<bool> stop{false};
  std::thread timer([&] {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
  });
  runner.Run(stop);
  timer.join();
  PrintStats("headless tick interval at " + std::to_string(tickMs) + " ms", intervals.ms);
}

void Window(int tickMs, int seconds, const std::string& folder) {
  BenchWindow window(folder, PortMap::kCableA);
  window.main.show();
  window.main.Timer1->setInterval(tickMs);
  Intervals intervals;
  QObject::connect(window.main.Timer1, &QTimer::timeout, [&] { intervals.Tick(); });
  QTimer::singleShot(seconds * 1000, [] { QApplication::quit(); });
  QApplication::exec();
  PrintStats("window Timer1 tick interval at " + std::to_string(tickMs) + " ms", intervals.ms);
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
  for (int tick : {60, 40}) Window(tick, seconds, folder);
  std::filesystem::remove_all(folder);
  return 0;
}
