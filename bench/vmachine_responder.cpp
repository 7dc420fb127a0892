// Throughput of the virtual machine's responder on a mixed editor stream: each message goes in
// as one data event and comes back as framed reply bytes, as on port A.
#include <benchmark/benchmark.h>

#include <vector>

#include "EditorStream.h"
#include "VirtualMachine.h"

namespace {

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
