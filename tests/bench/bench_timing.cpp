// The benchmark's rounds and their statistics.
#include "tests/bench/bench_timing.h"

#include <algorithm>

#include "tests/bench/bench_output.h"

namespace tessaly::bench {

double Measure::Median() const {
  std::vector<double> sorted = ms;
  std::sort(sorted.begin(), sorted.end());
  if (sorted.empty()) return 0;
  const size_t mid = sorted.size() / 2;
  return sorted.size() % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

double Measure::Min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }

double MedianOf(std::vector<double> values) { return Measure{"", std::move(values)}.Median(); }

double RoundRatio(const Measure& m, const Measure& base) {
  std::vector<double> ratios;
  for (size_t i = 0; i < m.ms.size() && i < base.ms.size(); ++i)
    ratios.push_back(m.ms[i] / base.ms[i]);
  return MedianOf(std::move(ratios));
}

void RunRounds(std::vector<Bench>& benches, int rounds) {
  const auto started = Clock::now();
  for (Bench& b : benches) b.run();
  Log("  warm-up round done (%.0f s)\n", Ms(Clock::now() - started) / 1000);
  for (int round = 0; round < rounds; ++round) {
    for (Bench& b : benches) b.measure.ms.push_back(b.run());
    Log("  round %d of %d done (%.0f s)\n", round + 1, rounds, Ms(Clock::now() - started) / 1000);
  }
  for (const Bench& b : benches) {
    Log("  %-46s median %9.1f ms  (runs:", b.measure.label.c_str(), b.measure.Median());
    for (double v : b.measure.ms) Log(" %.1f", v);
    Log(")\n");
  }
}

}  // namespace tessaly::bench
