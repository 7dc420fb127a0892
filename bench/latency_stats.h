// Percentiles of a set of samples, printed as one line.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

inline double Percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto index =
      static_cast<std::size_t>(p / 100.0 * static_cast<double>(samples.size() - 1) + 0.5);
  return samples[std::min(index, samples.size() - 1)];
}

inline void PrintStats(const std::string& what, const std::vector<double>& ms) {
  std::printf("%-44s n=%zu  median %.3f ms  p99 %.3f ms  p99.9 %.3f ms  min %.3f  max %.3f\n",
              what.c_str(), ms.size(), Percentile(ms, 50), Percentile(ms, 99), Percentile(ms, 99.9),
              Percentile(ms, 0), Percentile(ms, 100));
  std::fflush(stdout);
}
