#include "ui/park/MoneyText.h"

#include <cmath>

namespace {
// Fifteen digits: every whole number up to it is exact in a double, and it fits a long long.
constexpr double kMostShown = 999999999999999.0;
}  // namespace

std::string MoneyText(double amount) {
  if (std::isnan(amount)) return "0";
  const double whole = std::trunc(std::fmax(-kMostShown, std::fmin(kMostShown, amount)));
  return std::to_string(static_cast<long long>(whole));
}
