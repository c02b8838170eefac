// Park money: the normalisation rules, conservation over long random runs, the 32-bit limits.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "park/world/ParkState.h"
#include "park/world/SimClock.h"

namespace {

ParkState Normalised(int32_t money, double fraction) {
  ParkState state;
  state.money = money;
  state.moneyFraction = fraction;
  state.NormaliseMoney();
  return state;
}

TEST(ParkMoney, NormalisationExamples) {
  EXPECT_EQ(Normalised(100, -2.3).money, 97);
  EXPECT_NEAR(Normalised(100, -2.3).moneyFraction, 0.7, 1e-12);
  EXPECT_EQ(Normalised(100, 3.25).money, 103);
  EXPECT_EQ(Normalised(100, 3.25).moneyFraction, 0.25);
  EXPECT_EQ(Normalised(100, 1.0).money, 100);  // exactly 1.0 stays
  EXPECT_EQ(Normalised(100, -2.0).moneyFraction, 1.0);
  EXPECT_EQ(Normalised(100, NAN).GetMoney(), 100.0);
}

TEST(ParkMoney, LongRandomRunsConserveMoney) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<float> amount(-5000.0f, 300.0f), costPerDay(-50.0f, 400.0f), tick(0.0f, 0.1f);
  for (int run = 0; run < 20; ++run) {
    ParkState state;
    CSimClock clock;
    double expected = state.GetMoney();
    for (int step = 0; step < 20000; ++step) {
      if (random() % 10 == 0) {  // a purchase, sale or bonus
        const float a = amount(random);
        ASSERT_TRUE(state.AddMoney(a));
        expected += a;
      } else {  // running costs and admission flow through the fraction
        const float dt = tick(random);
        const double flow = clock.GetCostForStep(dt, 120.0f) - clock.GetCostForStep(dt, costPerDay(random));
        state.moneyFraction += flow;
        expected += flow;
      }
      state.NormaliseMoney();
      ASSERT_TRUE(state.moneyFraction >= 0.0 && state.moneyFraction <= 1.0) << step;
      ASSERT_NEAR(state.GetMoney(), expected, 1e-6) << run << " " << step;
    }
  }
  ParkState state;
  EXPECT_FALSE(state.AddMoney(NAN));
  EXPECT_EQ(state.GetMoney(), 10000.0);
}

TEST(ParkMoney, WholeMoneyNeverWraps) {  // what does not fit stays in the fraction
  ParkState rich = Normalised(2147483000, 5000.5);
  EXPECT_TRUE(rich.money == INT32_MAX && std::fabs(rich.GetMoney() - 2147488000.5) < 1e-6);
  const ParkState poor = Normalised(INT32_MIN + 10, -50.25);
  EXPECT_TRUE(poor.money == INT32_MIN && std::fabs(poor.GetMoney() - (INT32_MIN - 40.25)) < 1e-6);
}

}  // namespace
