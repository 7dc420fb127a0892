// One iteration is one frame tick of the back-to-back pair: the controller's poll (or queued
// command) framed, the virtual machine's data event and reply, the controller's data event with
// its panel update, and the machine's position advance. Goal: over 200,000 ticks per second.
#include <benchmark/benchmark.h>

#include "MachineController.h"
#include "VirtualMachine.h"

namespace {

struct Pair {
  MachineController controller;
  VirtualMachine vm;

  explicit Pair(uint8_t standard) {
    vm.RestoreSettings(VmSettings{standard, 0, 0, false});
    vm.FormShow();
  }

  void Tick() {
    for (const Bytes& write : controller.FrameTick(true)) {
      const Bytes reply = vm.DataAvailable(write, VmEventContext{}).ReplyBytes();
      if (!reply.empty()) controller.SerialBTriggerAvail(reply);
    }
    vm.FrameTick();
  }
};

// The machine plays, so every time and status reply changes what the panel shows.
void BM_BackToBackPlaying(benchmark::State& state) {
  Pair pair(static_cast<uint8_t>(state.range(0)));
  pair.controller.kplayClick(MachineController::kTagPlay);
  for (auto _ : state) pair.Tick();
  benchmark::DoNotOptimize(pair.controller.Panel().bpoz);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(state.range(0) == 0 ? "ticks, EBU" : "ticks, SMPTE drop");
}
BENCHMARK(BM_BackToBackPlaying)->Arg(0)->Arg(3);

// A track key pressed every eighth tick: the edit preset, the skipped replies and EDIT ON.
void BM_BackToBackTrackArming(benchmark::State& state) {
  Pair pair(0);
  pair.controller.keditonClick(true);
  int tick = 0;
  for (auto _ : state) {
    if ((++tick & 7) == 0) pair.controller.kr1Click(1 + (tick >> 3) % 24);
    pair.Tick();
  }
  benchmark::DoNotOptimize(pair.controller.Panel().kr);
  state.SetItemsProcessed(state.iterations());
  state.SetLabel("ticks");
}
BENCHMARK(BM_BackToBackTrackArming);

}  // namespace

BENCHMARK_MAIN();
