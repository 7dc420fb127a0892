// Reply latency on port A over a pseudo-terminal: an editor writes a 3-byte request (CURRENT TIME
// SENSE) and reads the whole 7-byte reply, 10,000 times; median, p99 and p99.9. Runs the headless
// runner, then the window (offscreen) with the comms monitor shown and logging.
// Usage: app_reply_latency [requests]
#include <QApplication>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "bench_window.h"
#include "latency_stats.h"
#include "HeadlessRunner.h"
#include "PtyEditor.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::vector<uint8_t> kTimeSense = {0x61, 0x0C, 0x01, 0x6E};

std::vector<double> Measure(const std::string& link, int requests) {
  PtyEditor editor(link);
  std::vector<double> ms;
  if (!editor.IsOpen()) return ms;
  for (int i = 0; i < 50; ++i) editor.Request(kTimeSense);  // warm-up
  ms.reserve(static_cast<std::size_t>(requests));
  for (int i = 0; i < requests; ++i) {
    const auto start = Clock::now();
    const auto reply = editor.Request(kTimeSense);
    const auto end = Clock::now();
    if (reply.size() != 7) {
      std::fprintf(stderr, "request %d: no whole reply\n", i);
      continue;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  return ms;
}

void Headless(const std::string& folder, int requests) {
  ProgramOptions options;
  options.headless = true;
  const std::string link = folder + "/headless";
  options.portA = "pty:" + link;
  std::atomic<bool> stop{false};
  std::vector<double> ms;
  std::thread editor([&] {
    ms = Measure(link, requests);
    stop = true;
  });
  {
    std::ostringstream sink;
    HeadlessRunner runner(options, sink);
    runner.Start();
    runner.Run(stop);
  }
  editor.join();
  PrintStats("headless runner, port A reply", ms);
}

void Window(const std::string& folder, int requests) {
  const std::string link = folder + "/window";
  ::setenv("SELKIE_COM240", ("pty:" + link).c_str(), 1);
  BenchWindow window(folder, 240);
  window.comms.SetShowComs(true);
  window.comms.show();
  window.main.show();
  std::vector<double> ms;
  std::thread editor([&] {
    ms = Measure(link, requests);
    QMetaObject::invokeMethod(qApp, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  editor.join();
  PrintStats("window (offscreen, monitor logging), reply", ms);
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int requests = argc > 1 ? std::atoi(argv[1]) : 10000;
  std::string folder = "/tmp/selkie-latency-XXXXXX";
  if (!::mkdtemp(folder.data())) return 1;
  std::printf("Port A reply latency over a pty, %d requests of 61 0C 01 (goal: p99 < 0.5 ms, "
              "p99.9 < 2 ms)\n", requests);
  Headless(folder, requests);
  Window(folder, requests);
  std::filesystem::remove_all(folder);
  return 0;
}
