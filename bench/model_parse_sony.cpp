// Sony messages per second through ZQ_ParseSony: sense requests answered from the model, and
// transport commands passed to the command server.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "VyoModel.h"

namespace {

void Parse(benchmark::State& state, std::vector<uint8_t> message) {
  setZQ_McnTally(3, 1);
  setZQ_McnPosition(3, 90000);
  uint8_t reply[18];
  for (auto _ : state) {
    ZQ_ParseSony(message.data(), reply, 3);
    benchmark::DoNotOptimize(reply);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_StatusSense(benchmark::State& state) { Parse(state, {0x61, 0x20, 0x0F}); }
BENCHMARK(BM_StatusSense);

void BM_CurrentTimeSense(benchmark::State& state) { Parse(state, {0x61, 0x0C, 0x01}); }
BENCHMARK(BM_CurrentTimeSense);

void BM_Play(benchmark::State& state) { Parse(state, {0x20, 0x01}); }
BENCHMARK(BM_Play);

void BM_ShuttleForward(benchmark::State& state) { Parse(state, {0x21, 0x13, 0x40}); }
BENCHMARK(BM_ShuttleForward);

void BM_CueUpWithData(benchmark::State& state) {
  Parse(state, {0x24, 0x31, 0x00, 0x00, 0x00, 0x01});
}
BENCHMARK(BM_CueUpWithData);

}  // namespace
