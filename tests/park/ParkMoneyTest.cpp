// Park money: the normalisation rules, conservation of money over long random runs of purchases,
// income and running costs, and the limits of the 32-bit whole money.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "park/ParkState.h"
#include "park/SimClock.h"

namespace {

ParkState WithMoney(int32_t money, double fraction) {
  ParkState state;
  state.money = money;
  state.moneyFraction = fraction;
  return state;
}

TEST(ParkMoney, NormalisationExamples) {
  ParkState owing = WithMoney(100, -2.3);
  owing.NormaliseMoney();
  EXPECT_EQ(owing.money, 97);
  EXPECT_NEAR(owing.moneyFraction, 0.7, 1e-12);

  ParkState owed = WithMoney(100, 3.25);
  owed.NormaliseMoney();
  EXPECT_EQ(owed.money, 103);
  EXPECT_DOUBLE_EQ(owed.moneyFraction, 0.25);

  ParkState one = WithMoney(100, 1.0);  // exactly 1.0 is left as it is
  one.NormaliseMoney();
  EXPECT_EQ(one.money, 100);
  EXPECT_EQ(one.moneyFraction, 1.0);

  ParkState wholeDebt = WithMoney(100, -2.0);  // a whole negative fraction ends at 1.0, not 0.0
  wholeDebt.NormaliseMoney();
  EXPECT_EQ(wholeDebt.money, 97);
  EXPECT_EQ(wholeDebt.moneyFraction, 1.0);

  ParkState broken = WithMoney(100, std::nan(""));
  broken.NormaliseMoney();
  EXPECT_EQ(broken.money, 100);
  EXPECT_EQ(broken.moneyFraction, 0.0);
}

TEST(ParkMoney, AddMoneySplitsTowardZero) {
  ParkState state = WithMoney(0, 0.0);
  state.AddMoney(12.75);
  EXPECT_EQ(state.money, 12);
  EXPECT_DOUBLE_EQ(state.moneyFraction, 0.75);
  state.AddMoney(-3.5);
  EXPECT_EQ(state.money, 9);
  EXPECT_DOUBLE_EQ(state.moneyFraction, 0.25);
  EXPECT_DOUBLE_EQ(state.GetMoney(), 9.25);
  EXPECT_FALSE(state.AddMoney(std::nan("")));
  EXPECT_FALSE(state.AddMoney(INFINITY));
  EXPECT_DOUBLE_EQ(state.GetMoney(), 9.25);
}

TEST(ParkMoney, LongRandomRunsConserveMoney) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<float> purchase(-5000.0f, 0.0f);
  std::uniform_real_distribution<float> income(0.0f, 300.0f);
  std::uniform_real_distribution<float> costPerDay(-50.0f, 400.0f);  // negative: sponsor income
  std::uniform_real_distribution<float> tick(0.0f, 0.1f);
  std::uniform_int_distribution<int> action(0, 9);
  for (int run = 0; run < 20; ++run) {
    ParkState state;
    CSimClock clock;
    double expected = state.GetMoney();
    for (int step = 0; step < 20000; ++step) {
      switch (action(random)) {
        case 0: {  // a purchase or a sale through AddMoney
          const float amount = step % 2 ? purchase(random) : income(random);
          ASSERT_TRUE(state.AddMoney(amount));
          expected += amount;
          break;
        }
        default: {  // a tick of running costs and admission straight into the fraction
          const float dt = tick(random);
          const double cost = clock.GetCostForStep(dt, costPerDay(random));
          const double admission = clock.GetCostForStep(dt, 40.0f) * 3.0;
          state.moneyFraction -= cost;
          state.moneyFraction += admission;
          expected += admission - cost;
          break;
        }
      }
      state.NormaliseMoney();
      ASSERT_GE(state.moneyFraction, 0.0) << step;
      ASSERT_LE(state.moneyFraction, 1.0) << step;
      ASSERT_NEAR(state.GetMoney(), expected, 1e-6) << run << " " << step;
      ASSERT_EQ(state.GetMoney() - state.moneyFraction, static_cast<double>(state.money));
    }
  }
}

TEST(ParkMoney, WholeMoneyNeverWraps) {
  ParkState rich = WithMoney(2147483000, 0.0);
  rich.AddMoney(5000.5f);
  EXPECT_EQ(rich.money, INT32_MAX);  // what does not fit stays in the fraction
  EXPECT_NEAR(rich.GetMoney(), 2147483000.0 + 5000.5, 1e-6);
  rich.NormaliseMoney();
  EXPECT_EQ(rich.money, INT32_MAX);
  EXPECT_NEAR(rich.GetMoney(), 2147483000.0 + 5000.5, 1e-6);

  ParkState poor = WithMoney(INT32_MIN + 10, -50.25);
  poor.NormaliseMoney();
  EXPECT_EQ(poor.money, INT32_MIN);
  EXPECT_NEAR(poor.GetMoney(), static_cast<double>(INT32_MIN) + 10.0 - 50.25, 1e-6);
  poor.AddMoney(-1e12f);
  EXPECT_EQ(poor.money, INT32_MIN);
}

TEST(ParkMoney, ResetGivesAFreshParkButKeepsTheLevel) {
  ParkState state;
  EXPECT_EQ(state.money, 10000);
  EXPECT_EQ(state.admissionFee, 40.0f);
  EXPECT_EQ(state.nextSkaterNumber, 10);
  state.levelIndex = 3;
  state.money = 5;
  state.spentOnBuilding = 99.0;
  state.skatersEntered = 7;
  state.sponsorships[2].offered = 1;
  state.sponsorships[2].sponsorObjectID = 44;
  EXPECT_TRUE(state.HasSponsor(2));
  EXPECT_FALSE(state.HasSponsor(4));
  EXPECT_FALSE(state.HasSponsor(-1));
  state.SetParkName("Riverside");
  state.Reset();
  EXPECT_EQ(state.levelIndex, 3);
  EXPECT_EQ(state.money, 10000);
  EXPECT_EQ(state.spentOnBuilding, 0.0);
  EXPECT_EQ(state.skatersEntered, 0u);
  EXPECT_EQ(state.sponsorships[2].offered, 0);
  EXPECT_EQ(state.sponsorships[2].sponsorObjectID, -1);
  EXPECT_STREQ(state.parkName, "");
  EXPECT_EQ(state.timeSinceLastArrival, 999999999.0);
  EXPECT_EQ(state.viewDistance, 0.3f);

  std::string longName(300, 'n');
  state.SetParkName(longName.c_str());
  EXPECT_EQ(std::string(state.parkName), longName.substr(0, ParkState::kParkNameSize - 1));
  state.SetParkName(nullptr);
  EXPECT_STREQ(state.parkName, "");
}

}  // namespace
