// Cost of the model's accessors per call, and of polling for changes with 0, 1 and many flags
// pending.
#include <benchmark/benchmark.h>

#include "VyoModel.h"

namespace {

void BM_GetTally(benchmark::State& state) {
  setZQ_McnTally(5, 3);
  for (auto _ : state) benchmark::DoNotOptimize(getZQ_McnTally(5));
}
BENCHMARK(BM_GetTally);

void BM_GetPosition(benchmark::State& state) {
  int8_t m = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(getZQ_McnPosition(m));
    m = int8_t(m == 35 ? -1 : m + 1);
  }
}
BENCHMARK(BM_GetPosition);

void BM_GetMasterPosition(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(getZQ_MasterPosition());
}
BENCHMARK(BM_GetMasterPosition);

void BM_SetTallyUnchanged(benchmark::State& state) {
  setZQ_McnTally(5, 3);
  for (auto _ : state) benchmark::DoNotOptimize(setZQ_McnTally(5, 3));
}
BENCHMARK(BM_SetTallyUnchanged);

void BM_SetTallyChanged(benchmark::State& state) {
  uint8_t value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(setZQ_McnTally(5, value ^= 1));
}
BENCHMARK(BM_SetTallyChanged);

void BM_SetStatus1Changed(benchmark::State& state) {
  uint8_t value = 0;
  for (auto _ : state) benchmark::DoNotOptimize(setZQ_McnStatus1(5, value ^= 0x81));
}
BENCHMARK(BM_SetStatus1Changed);

// A playing machine: the ZFrame test asks the time-code library for the frame rate.
void BM_SetPositionPlaying(benchmark::State& state) {
  setZQ_McnStatus2(6, 0x01);
  setZQ_McnStatus2(6, 0x00);
  int32_t frames = 0;
  for (auto _ : state) benchmark::DoNotOptimize(setZQ_McnPosition(6, ++frames));
}
BENCHMARK(BM_SetPositionPlaying);

void BM_LastChangeNothingPending(benchmark::State& state) {
  setZQ_MaxMachine(int8_t(state.range(0)));
  while (getZQ_LastChange() != 0 || getZQ_LastChange() != 0) {
  }
  for (auto _ : state) benchmark::DoNotOptimize(getZQ_LastChange());
  state.SetLabel("machines -1.." + std::to_string(state.range(0)));
}
BENCHMARK(BM_LastChangeNothingPending)->Arg(3)->Arg(35);

// One flag raised before each poll (the setter's cost is included; see BM_SetTallyChanged).
void BM_LastChangeOnePending(benchmark::State& state) {
  setZQ_MaxMachine(35);
  uint8_t value = 0;
  for (auto _ : state) {
    setZQ_McnTally(20, value ^= 1);
    benchmark::DoNotOptimize(getZQ_LastChange());
  }
}
BENCHMARK(BM_LastChangeOnePending);

void RaiseEveryFlag() {
  static uint8_t value = 0;
  value ^= 1;
  setZQ_Master(value ? 1 : 2);
  setZQ_SelectedMcn(value ? 1 : 2);
  setZQ_RecordBank(value);
  setZQ_VMajor(value);
  for (int8_t m = -1; m <= 35; ++m) {
    setZQ_McnTally(m, value);
    setZQ_McnOffset(m, value);
    setZQ_McnSonyID(m, value);
    setZQ_McnRecInPoint(m, value);
  }
}

// Every machine of 36 with four flags, plus four system flags: 152 pending at each refill.
void BM_LastChangeManyPending(benchmark::State& state) {
  setZQ_MaxMachine(35);
  RaiseEveryFlag();
  for (auto _ : state) {
    if (getZQ_LastChange() == 0) {
      state.PauseTiming();
      RaiseEveryFlag();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_LastChangeManyPending);

}  // namespace
