// RunPaired: ours and a reference timed alternately within every iteration of one benchmark, with
// the ratio of their summed times as a counter. On a shared machine the load drifts during a run;
// alternating lets the drift touch both sides alike, so the ratio holds where the times do not.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>

template <class Ours, class Reference>
void RunPaired(benchmark::State& state, Ours ours, Reference reference) {
  using Clock = std::chrono::steady_clock;
  Clock::duration oursTime{}, referenceTime{};
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    ours();
    const Clock::time_point middle = Clock::now();
    reference();
    oursTime += middle - start;
    referenceTime += Clock::now() - middle;
  }
  state.counters["ratio"] = static_cast<double>(oursTime.count()) / static_cast<double>(referenceTime.count());
}
