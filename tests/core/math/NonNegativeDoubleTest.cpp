// NonNegativeDouble against a running reference over random additions and replacements.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/math/NonNegativeDouble.h"

TEST(NonNegativeDouble, MatchesAClampedRunningSum) {
  NonNegativeDouble value;
  std::mt19937 random(3);
  std::uniform_real_distribution<double> amount(-500.0, 400.0);
  double reference = 0.0;
  for (int i = 0; i < 100000; ++i) {
    const double a = amount(random);
    const bool replace = random() % 50 == 0;
    reference = replace ? a : std::max(0.0, reference + a);
    ASSERT_EQ(value.Add(a, replace), reference);
    if (!replace) { ASSERT_GE(value.Get(), 0.0); }
  }
}
