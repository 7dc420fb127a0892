// Framing throughput: one event stores a request, extracts it and frames a reply.
// Printed beside what the wire can carry: 38400 baud at 11 bits a byte is 3490 bytes/s.
#include <benchmark/benchmark.h>

#include "sonyname.h"

namespace {

constexpr double kWireBytesPerSecond = 38400.0 / 11.0;

void BM_ExtractAndFrame(benchmark::State& state) {
  SonyPort port;
  const Bytes request{0x61, 0x0C, 0x01, 0x6E};  // CURRENT TIME SENSE
  std::size_t bytes = 0;
  for (auto _ : state) {
    ReceiveBytes(port, request);
    if (!ExtractMessage(port)) state.SkipWithError("message lost");
    port.Tx[0] = 0x74;
    port.Tx[1] = 0x04;
    Bytes reply = FrameTx(port);
    benchmark::DoNotOptimize(reply);
    bytes += request.size();
  }
  state.counters["msgs/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["wire msgs/s"] = kWireBytesPerSecond / static_cast<double>(request.size());
  state.counters["x wire"] = benchmark::Counter(static_cast<double>(bytes) / kWireBytesPerSecond,
                                                benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExtractAndFrame);

void BM_DeviceTypeName(benchmark::State& state) {
  SonyMessage reply;
  reply[0] = 0x12;
  reply[1] = 0x11;
  reply[2] = 0xF1;
  reply[3] = 0x1D;
  for (auto _ : state) benchmark::DoNotOptimize(DeviceTypeName(reply, false));
}
BENCHMARK(BM_DeviceTypeName);

}  // namespace

BENCHMARK_MAIN();
