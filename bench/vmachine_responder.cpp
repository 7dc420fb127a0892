// Throughput of the virtual machine's responder on a mixed editor stream: each message goes in
// as one data event and comes back as framed reply bytes, as on port A.
#include <benchmark/benchmark.h>

#include <vector>

#include "VirtualMachine.h"

namespace {

Bytes Framed(std::vector<uint8_t> body) {
  uint8_t sum = 0;
  for (uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
  body.push_back(sum);
  return body;
}

// What an edit controller sends over a few frames: polls dominate, commands are sprinkled in.
std::vector<Bytes> EditorStream() {
  return {
      Framed({0x61, 0x0C, 0x01}),
      Framed({0x61, 0x20, 0x0F}),
      Framed({0x61, 0x0C, 0x01}),
      Framed({0x60, 0x10}),
      Framed({0x24, 0x31, 0x00, 0x00, 0x10, 0x00}),
      Framed({0x61, 0x0C, 0x01}),
      Framed({0x20, 0x01}),
      Framed({0x80, 0x01}),
      Framed({0x61, 0x20, 0x04}),
      Framed({0x44, 0x30, 0x10, 0x03, 0x00, 0x00}),
      Framed({0x61, 0x30, 0x04}),
      Framed({0x21, 0x12, 0x48}),
      Framed({0x00, 0x11}),
      Framed({0x40, 0x10}),
      Framed({0x20, 0x02}),
      Framed({0x61, 0x0C, 0x1E}),
      Framed({0x20, 0x00}),
      Framed({0x60, 0x36}),
  };
}

void RunStream(benchmark::State& state, const VmEventContext& context) {
  VirtualMachine vm;
  vm.FormShow();
  const std::vector<Bytes> stream = EditorStream();
  std::size_t replyBytes = 0;
  for (auto _ : state) {
    for (const Bytes& message : stream) {
      const VmEventResult result = vm.DataAvailable(message, context);
      replyBytes += result.exchanges.front().reply.size();
      benchmark::DoNotOptimize(result);
    }
    vm.FrameTick();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
  state.counters["reply_bytes"] = static_cast<double>(replyBytes);
}

void BM_ResponderMixedStream(benchmark::State& state) { RunStream(state, {true, false, false}); }

// The same with the comms monitor logging every line.
void BM_ResponderMixedStreamWithMonitor(benchmark::State& state) {
  RunStream(state, {true, true, true});
}

}  // namespace

BENCHMARK(BM_ResponderMixedStream);
BENCHMARK(BM_ResponderMixedStreamWithMonitor);
BENCHMARK_MAIN();
