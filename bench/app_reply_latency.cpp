// Reply latency on port A over a pseudo-terminal: an editor writes a 3-byte request (CURRENT TIME
// SENSE) and reads the whole 7-byte reply, 10,000 times; median, p99, p99.9 and the worst. Runs the
// headless program, the window (offscreen) with the comms monitor shown and logging, and a busy
// window that toggles a view every 100 ms (each toggle writes the settings) and repaints without
// pause while the editor polls. Ends with the window's median as a multiple of the headless one.
// Usage: app_reply_latency [requests]
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "HeadlessPrinter.h"
#include "PtyEditor.h"
#include "bench_window.h"
#include "latency_stats.h"

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

std::vector<double> Headless(const std::string& folder, int requests) {
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
    HeadlessPrinter printer(options, sink, sink);
    printer.Start();
    printer.Run(stop);
  }
  editor.join();
  PrintStats("headless, port A reply", ms);
  return ms;
}

std::vector<double> Window(const std::string& folder, int requests, bool busy) {
  const std::string name = busy ? "busy" : "window";
  const std::string link = folder + "/" + name;
  ::setenv("SELKIE_COM240", ("pty:" + link).c_str(), 1);
  BenchWindow window(folder, 240);
  window.comms.SetShowComs(true);
  window.comms.show();
  window.main.show();
  QTimer toggle;
  QTimer repaint;
  if (busy) {
    QObject::connect(&toggle, &QTimer::timeout, [&] { window.main.Menu->GPO1->trigger(); });
    toggle.start(100);
    QObject::connect(&repaint, &QTimer::timeout, [&] { window.main.repaint(); });
    repaint.start(0);
  }
  std::vector<double> ms;
  std::thread editor([&] {
    ms = Measure(link, requests);
    QMetaObject::invokeMethod(
        qApp, [] { QApplication::quit(); }, Qt::QueuedConnection);
  });
  QApplication::exec();
  editor.join();
  PrintStats(busy ? "busy window (view toggled every 100 ms, repainting), reply"
                  : "window (offscreen, monitor logging), reply",
             ms);
  return ms;
}

double Median(std::vector<double> ms) {
  if (ms.empty()) return 0;
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int requests = argc > 1 ? std::atoi(argv[1]) : 10000;
  std::string folder = "/tmp/selkie-latency-XXXXXX";
  if (!::mkdtemp(folder.data())) return 1;
  std::printf(
      "Port A reply latency over a pty, %d requests of 61 0C 01 (goal: p99 < 0.5 ms, "
      "p99.9 < 2 ms)\n",
      requests);
  const double headless = Median(Headless(folder, requests));
  const double window = Median(Window(folder, requests, false));
  Window(folder, requests, true);
  if (headless > 0)
    std::printf("window median / headless median: %.2f (goal <= 1.2)\n", window / headless);
  std::filesystem::remove_all(folder);
  return 0;
}
