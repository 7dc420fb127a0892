// Comms monitor: the cost of one logged line against how many lines the log already holds. Each
// iteration appends a line and lets the event loop run once, as one port event does. Flat times
// across the sizes mean appending stays O(1) however long the program has been logging; at
// kMaxLines the oldest line goes for each new one. Runs offscreen unless QT_QPA_PLATFORM is set.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <map>
#include <memory>

#include "vcommsu.h"

namespace {

const QString kLine = QStringLiteral("  Tx 74 04 00 00 10 01 89 ");

// One shown window per log size, filled once: the benchmark calls each size several times. They
// go before the application does (main clears them).
std::map<int, std::unique_ptr<Tcommsf>> gWindows;

Tcommsf& WindowHolding(int lines) {
  auto& window = gWindows[lines];
  if (!window) {
    window = std::make_unique<Tcommsf>();
    for (int i = 0; i < lines; ++i) window->AddLine(kLine);
    window->show();
    QCoreApplication::processEvents();
  }
  return *window;
}

void BM_AppendLine(benchmark::State& state) {
  Tcommsf& comms = WindowHolding(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    comms.AddLine(kLine);
    QCoreApplication::processEvents();
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendLine)->Arg(0)->Arg(10000)->Arg(100000)->Arg(Tcommsf::kMaxLines);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gWindows.clear();
  return 0;
}
