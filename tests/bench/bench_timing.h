// The benchmark's rounds: every measure runs once per round in turn after a warm-up round, and
// is reported by the median and the minimum of its runs.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tessaly::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Measure {
  std::string label;
  std::vector<double> ms;  // the timed runs, warm-up excluded
  double Median() const;
  double Min() const;
};

double MedianOf(std::vector<double> values);

// The median over the rounds of this measure's time over `base`'s time in the same round: the
// machine's load, which changes from round to round, cancels out.
double RoundRatio(const Measure& m, const Measure& base);

// A measure under way: its label, what one run does (returning its own duration in ms) and the
// durations so far.
struct Bench {
  Measure measure;
  std::function<double()> run;
};

// One warm-up round, then `rounds` rounds, each running every bench once in turn: a machine that
// slows down or speeds up during the session affects all of them alike, so their ratios hold.
// Logs each round and then every measure's runs.
void RunRounds(std::vector<Bench>& benches, int rounds);

template <typename F>
double TimeIt(F&& f) {
  const auto t0 = Clock::now();
  f();
  return Ms(Clock::now() - t0);
}

}  // namespace tessaly::bench
