// The comms monitor's table under load: records fed at a steady rate (2,000 a second by default)
// in batches at display rate, as the engine host publishes them, into a shown monitor whose
// filters are on (port A, Rx and Tx, "Errors only" off so rows are shown) and which follows the
// newest row. Each loaded run is interleaved with a baseline run of the same window fed nothing,
// and a run with the table at its 200,000-row cap (old rows dropped in batches). Prints, per run,
// the rows taken and the GUI thread's busy share: its CPU time over the wall time.
// Usage: monitor_table [seconds per run, default 5] [rows per second, default 2000]
#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "MonitorPane.h"
#include "vcommsu.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A morning's mix: mostly sense requests and time data on port A, polls on port B, now and then
// a late reply or bad bytes.
CaptureRecord Record(long long n, Micros at) {
  static const std::vector<std::vector<uint8_t>> kMessages = {
      {0x61, 0x0C, 0x01, 0x6E}, {0x74, 0x04, 0x00, 0x00, 0x00, 0x01, 0x79},
      {0x20, 0x01, 0x21},       {0x10, 0x01, 0x11},
      {0x61, 0x20, 0x0F, 0x90}, {0x05, 0xFF}};
  CaptureRecord r;
  r.time = at;
  r.lastByte = at + Micros(800);
  r.port = n % 4 < 2 ? "A" : "B";
  r.direction = (n % 2 == 0) == (r.port == "A") ? Direction::Rx : Direction::Tx;
  r.bytes = kMessages[static_cast<std::size_t>(n % 6)];
  r.kind = n % 97 == 0 ? FrameKind::Debris : FrameKind::Message;
  r.text = n % 2 == 0 ? "CURRENT TIME SENSE LTC" : "LTC TIME DATA 01:00:00:00";
  return r;
}

struct Result {
  long long rows = 0;
  double busy = 0;  // share of wall time
};

Result Run(Tcommsf& comms, int seconds, int rate, bool feed) {
  constexpr int kFrameMs = 16;
  long long fed = 0;
  const auto start = Clock::now();
  const double cpuStart = ThreadCpuSeconds();
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (elapsed >= seconds) {
      QApplication::quit();
      return;
    }
    if (!feed) return;
    const long long due = static_cast<long long>(elapsed * rate);
    std::vector<CaptureRecord> batch;
    const Micros now = MonitorModel::SteadyNow();
    for (; fed < due; ++fed) batch.push_back(Record(fed, now));
    comms.AddRecords(batch);
  });
  timer.start(kFrameMs);
  QApplication::exec();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  return {fed, (ThreadCpuSeconds() - cpuStart) / wall};
}

void Print(const char* what, const Result& r, int seconds) {
  std::printf("%-40s rows %8lld (%6.0f/s)  GUI thread busy %5.1f%%\n", what, r.rows,
              static_cast<double>(r.rows) / seconds, r.busy * 100);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int rate = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
  QApplication app(argc, argv);
  Tcommsf comms;
  comms.resize(900, 600);
  comms.SetDecode(true);
  comms.pane->portBox->setCurrentIndex(1);       // port A
  comms.pane->directionBox->setCurrentIndex(0);  // Rx and Tx
  comms.show();
  for (int round = 1; round <= 2; ++round) {
    comms.kclearClick();
    Print("baseline (shown, nothing fed)", Run(comms, seconds, rate, false), seconds);
    comms.kclearClick();
    Print("fed, filter port A, following", Run(comms, seconds, rate, true), seconds);
  }
  // At the cap every batch of new rows pushes old ones out.
  comms.kclearClick();
  const Micros now = MonitorModel::SteadyNow();
  std::vector<CaptureRecord> fill;
  for (long long n = 0; n < Tcommsf::kMaxLines; ++n) fill.push_back(Record(n, now));
  comms.AddRecords(fill);
  Print("fed at the 200,000-row cap", Run(comms, seconds, rate, true), seconds);
  return 0;
}
