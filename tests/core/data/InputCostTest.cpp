// The cost guard of the reader tests: it must see memory that is freed again before the call
// returns, and refuse work out of proportion to the input.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/InputCost.h"

TEST(InputCost, PeakHeapCountsBlocksFreedBeforeTheEnd) {
  const testing_support::InputCost cost = testing_support::MeasureInputCost([] {
    for (int i = 0; i < 3; ++i) {
      std::unique_ptr<char[]> block(new char[8 << 20]);
      block[0] = 1;
    }
    std::vector<int> small(1000);
  });
  EXPECT_GE(cost.peakHeapBytes, size_t{8} << 20);
  EXPECT_LT(cost.peakHeapBytes, size_t{9} << 20);  // freed blocks do not add up

  EXPECT_TRUE(testing_support::CostsNearLinear(1 << 20, [] { std::vector<char> copy(1 << 20); }));
  EXPECT_FALSE(testing_support::CostsNearLinear(1024, [] { std::vector<char> huge(size_t{2} << 20); }));
  EXPECT_FALSE(testing_support::CostsNearLinear(0, [] { std::this_thread::sleep_for(std::chrono::milliseconds(5100)); }));
}
