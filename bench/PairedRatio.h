// RunPaired: ours and a reference timed alternately within every iteration of one benchmark, with
// the ratio of their summed times as a counter. On a shared machine the load drifts during a run;
// alternating lets the drift touch both sides alike, so the ratio holds where the times do not.
// The sides are timed on the processor clock, as the benchmarks' own times are: on a crowded
// machine the wall clock also counts the time other programs held the core.
#pragma once

#include <benchmark/benchmark.h>

#include <ctime>

template <class Ours, class Reference>
void RunPaired(benchmark::State& state, Ours ours, Reference reference) {
  std::clock_t oursTime = 0, referenceTime = 0;
  for (auto _ : state) {
    const std::clock_t start = std::clock();
    ours();
    const std::clock_t middle = std::clock();
    reference();
    oursTime += middle - start;
    referenceTime += std::clock() - middle;
  }
  state.counters["ratio"] = static_cast<double>(oursTime) / static_cast<double>(referenceTime);
}
