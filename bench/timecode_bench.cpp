// Time-code conversions per second for each standard, through the library's C interface.
// Each benchmark walks the whole day in strides so every code path of a standard is exercised.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "ZQTimeCodeDll.h"

namespace {

constexpr std::array<int32_t, 4> kDayLength = {2160000, 2592000, 2073600, 2589408};
constexpr int32_t kStride = 7919;  // a prime, so the samples spread over all minutes
constexpr std::size_t kSamples = 4096;

uint8_t standardOf(const benchmark::State &state) { return static_cast<uint8_t>(state.range(0)); }

std::vector<int32_t> sampleFrames(uint8_t standard) {
  std::vector<int32_t> frames(kSamples);
  for (std::size_t i = 0; i < kSamples; ++i)
    frames[i] = static_cast<int32_t>((static_cast<int64_t>(i) * kStride) % kDayLength[standard]);
  return frames;
}

std::vector<std::array<uint8_t, 256>> sampleTexts(uint8_t standard) {
  std::vector<std::array<uint8_t, 256>> texts(kSamples);
  const auto frames = sampleFrames(standard);
  for (std::size_t i = 0; i < kSamples; ++i) frms2str(texts[i].data(), frames[i], standard);
  return texts;
}

std::vector<std::array<uint8_t, 4>> sampleSonyBytes(uint8_t standard) {
  std::vector<std::array<uint8_t, 4>> bytes(kSamples);
  const auto frames = sampleFrames(standard);
  for (std::size_t i = 0; i < kSamples; ++i) frms2Sony(frames[i], standard, 0, bytes[i].data());
  return bytes;
}

void finish(benchmark::State &state) {
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::array{"EBU 25", "SMPTE 30 ND", "24P", "SMPTE DF"}[standardOf(state)]);
}

void BM_str2frms(benchmark::State &state) {
  const uint8_t standard = standardOf(state);
  const auto texts = sampleTexts(standard);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(str2frms(texts[i].data(), standard));
    i = (i + 1) % kSamples;
  }
  finish(state);
}

void BM_frms2str(benchmark::State &state) {
  const uint8_t standard = standardOf(state);
  const auto frames = sampleFrames(standard);
  std::array<uint8_t, 256> out{};
  std::size_t i = 0;
  for (auto _ : state) {
    frms2str(out.data(), frames[i], standard);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
    i = (i + 1) % kSamples;
  }
  finish(state);
}

void BM_Sony2frms(benchmark::State &state) {
  const uint8_t standard = standardOf(state);
  const auto bytes = sampleSonyBytes(standard);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Sony2frms(bytes[i].data(), 0, standard));
    i = (i + 1) % kSamples;
  }
  finish(state);
}

void BM_frms2Sony(benchmark::State &state) {
  const uint8_t standard = standardOf(state);
  const auto frames = sampleFrames(standard);
  std::array<uint8_t, 6> message{0x74, 0x04};
  std::size_t i = 0;
  for (auto _ : state) {
    frms2Sony(frames[i], standard, 2, message.data());
    benchmark::DoNotOptimize(message.data());
    benchmark::ClobberMemory();
    i = (i + 1) % kSamples;
  }
  finish(state);
}

void BM_addfrms(benchmark::State &state) {
  const uint8_t standard = standardOf(state);
  const auto frames = sampleFrames(standard);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(addfrms(frames[i], frames[kSamples - 1 - i], standard));
    i = (i + 1) % kSamples;
  }
  finish(state);
}

}  // namespace

BENCHMARK(BM_str2frms)->DenseRange(0, 3);
BENCHMARK(BM_frms2str)->DenseRange(0, 3);
BENCHMARK(BM_Sony2frms)->DenseRange(0, 3);
BENCHMARK(BM_frms2Sony)->DenseRange(0, 3);
BENCHMARK(BM_addfrms)->DenseRange(0, 3);

BENCHMARK_MAIN();
