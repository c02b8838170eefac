// InputCost: the time and peak heap growth of one call, to hold a reader's cost near linear in
// the bytes it is given however the bytes are made.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>

namespace testing_support {

struct InputCost {
  double seconds = 0.0;
  size_t peakHeapBytes = 0;  // the most the heap held beyond what it held at the start
};

// Runs work once and measures it. The heap is counted through the allocator's hooks, so memory
// that work allocates and frees again still counts at its peak. Not reentrant.
InputCost MeasureInputCost(const std::function<void()>& work);

// Success when work, reading inputBytes bytes, takes at most 50 ms per KB and 64 heap bytes per
// input byte beyond fixed floors. The time bound is loose on purpose: it is meant to catch
// quadratic or count-driven work, not to be a benchmark on a loaded machine under the sanitizers.
::testing::AssertionResult CostsNearLinear(size_t inputBytes, const std::function<void()>& work);

// Runs read, which reads inputBytes bytes, checks it with CostsNearLinear and returns its result,
// so that a reader's call in a truncation or damage loop is guarded where it stands.
template <typename Read>
auto WithinLinearCost(size_t inputBytes, Read read) -> decltype(read()) {
  decltype(read()) result{};
  EXPECT_TRUE(CostsNearLinear(inputBytes, [&] { result = read(); }));
  return result;
}

}  // namespace testing_support
