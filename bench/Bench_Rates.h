// The figures every processor benchmark reports: steps and emulated clock
// cycles per second, and clocks per step.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

inline void reportRates(benchmark::State& state, uint64_t steps, uint64_t clocks) {
  state.counters["steps/s"] = benchmark::Counter(double(steps), benchmark::Counter::kIsRate);
  state.counters["clocks/s"] = benchmark::Counter(double(clocks), benchmark::Counter::kIsRate);
  state.counters["clocks/step"] = steps != 0 ? double(clocks) / double(steps) : 0.0;
}
