// What the bridge engine adds on the reply path: the cost of one exchange (a request from the
// editor and the machine's reply, each framed, passed on, captured and decoded), and of passing
// on the request alone, which is the part an editor waits for before the machine sees it.
#include <benchmark/benchmark.h>

#include <vector>

#include "SonyBridge.h"
#include "SonyCommands.h"

namespace {

std::vector<uint8_t> Framed(std::vector<uint8_t> body) {
  body.push_back(sony::Checksum(body.data(), body.size()));
  return body;
}

const std::vector<uint8_t> kRequest = Framed({0x61, 0x20, 0x0F});
const std::vector<uint8_t> kReply = Framed({0x7F, 0x20, 0x00, 0xA0, 0x82, 0, 0, 0, 0, 0, 0x08, 0, 0, 0, 0, 0, 0});

void BM_BridgeExchange(benchmark::State& state) {
  SonyBridge bridge(Micros(0));
  Micros now{0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(bridge.FromEditor(kRequest, now).toMachine.data());
    benchmark::DoNotOptimize(bridge.FromMachine(kReply, now + Micros(500)).toEditor.data());
    now += Micros(40000);
  }
  state.counters["ns/exchange"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BridgeExchange);

void BM_BridgeRequestOnly(benchmark::State& state) {
  SonyBridge bridge(Micros(0));
  Micros now{0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(bridge.FromEditor(kRequest, now).toMachine.data());
    now += Micros(40000);
  }
  state.counters["ns/request"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BridgeRequestOnly);

}  // namespace

BENCHMARK_MAIN();
