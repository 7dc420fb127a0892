// Decoder cost per message: one line of text for each message of a polling session's mix (time,
// status, edit preset and device-type exchanges), into a reused string and into a new one.
// Printed beside the wire's rate: 38400 baud at 11 bits a byte carries about 3490 bytes/s.
#include <benchmark/benchmark.h>

#include <vector>

#include "MessageDecoder.h"
#include "SonyCommands.h"

namespace {

constexpr double kWireBytesPerSecond = 38400.0 / 11.0;

std::vector<uint8_t> Framed(std::vector<uint8_t> body) {
  body.push_back(sony::Checksum(body.data(), body.size()));
  return body;
}

const std::vector<std::vector<uint8_t>>& Mix() {
  static const std::vector<std::vector<uint8_t>> mix = {
      Framed({0x61, 0x0C, 0x01}),
      Framed({0x74, 0x04, 0x10, 0x20, 0x30, 0x01}),
      Framed({0x61, 0x20, 0x0F}),
      Framed({0x7F, 0x20, 0x00, 0xA0, 0x82, 0, 0, 0, 0, 0, 0x08, 0, 0, 0, 0, 0, 0}),
      Framed({0x61, 0x30, 0x0D}),
      Framed({0x7D, 0x30, 0x41, 0x03, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0}),
      Framed({0x00, 0x11}),
      Framed({0x12, 0x11, 0xF1, 0x1D}),
      Framed({0x21, 0x12, 0x40}),
      Framed({0x10, 0x01}),
  };
  return mix;
}

double MixBytes() {
  double bytes = 0;
  for (const auto& m : Mix()) bytes += static_cast<double>(m.size());
  return bytes / static_cast<double>(Mix().size());
}

void Report(benchmark::State& state) {
  state.counters["msgs/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["ns/msg"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["wire msgs/s"] = kWireBytesPerSecond / MixBytes();
}

void BM_DecodeIntoReusedLine(benchmark::State& state) {
  MessageDecoder decoder;
  std::string line;
  std::size_t i = 0;
  for (auto _ : state) {
    line.clear();
    decoder.DecodeTo(Mix()[i++ % Mix().size()], line);
    benchmark::DoNotOptimize(line.data());
  }
  Report(state);
}
BENCHMARK(BM_DecodeIntoReusedLine);

void BM_DecodeNewLine(benchmark::State& state) {
  MessageDecoder decoder;
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(decoder.Decode(Mix()[i++ % Mix().size()]));
  Report(state);
}
BENCHMARK(BM_DecodeNewLine);

}  // namespace

BENCHMARK_MAIN();
