// The cost of a personality's decisions per reply: the same editor stream answered by the bare
// machine and by the machine behind a reply shaper whose personality refuses, cuts and checks
// everything it can without delaying (no faults, no delay). The difference per item is what the
// decisions add; the goal is under 2 us.
#include <benchmark/benchmark.h>

#include <vector>

#include "EditorStream.h"
#include "ReplyShaper.h"

namespace {

// Every decision a personality makes without touching time: accept list with NAK undefined,
// ignored and refused commands, a NAKed checksum, a receive time-out, a short status.
Personality Deciding() {
  Personality p;
  p.name = "deciding";
  p.errors = {true, true, true};
  p.timing.receiveTimeoutUs = 10000;
  p.commands.accept =
      std::vector<CommandPattern>{*ParseCommandPattern("0x *"), *ParseCommandPattern("2x *"),
                                  *ParseCommandPattern("4x *"), *ParseCommandPattern("6x *")};
  p.commands.ignore = {*ParseCommandPattern("20 10")};
  p.commands.nak = {*ParseCommandRefusal("20 30 = 80")};
  p.commands.silent = {*ParseCommandPattern("61 99")};
  p.status.bytes = 10;
  return p;
}

void BM_BareMachine(benchmark::State& state) {
  VirtualMachine vm;
  vm.FormShow();
  const std::vector<Bytes> stream = EditorStream();
  for (auto _ : state) {
    for (const Bytes& message : stream) {
      VmEventResult result = vm.DataAvailable(message, {});
      benchmark::DoNotOptimize(result);
    }
    vm.FrameTick();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}

void RunShaped(benchmark::State& state, const Personality& personality) {
  VirtualMachine vm;
  vm.FormShow();
  ReplyShaper shaper(personality);
  shaper.Attach(vm);
  shaper.PortOpened();
  const std::vector<Bytes> stream = EditorStream();
  Micros now(0);
  for (auto _ : state) {
    for (const Bytes& message : stream) {
      now += Micros(1000);
      ShapedEvent event = shaper.DataAvailable(message, {}, now);
      benchmark::DoNotOptimize(event);
    }
    vm.FrameTick();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}

void BM_DefaultPersonality(benchmark::State& state) { RunShaped(state, Personality{}); }
void BM_DecidingPersonality(benchmark::State& state) { RunShaped(state, Deciding()); }

}  // namespace

BENCHMARK(BM_BareMachine);
BENCHMARK(BM_DefaultPersonality);
BENCHMARK(BM_DecidingPersonality);
BENCHMARK_MAIN();
