// MoneyText: money and prices as the park's interface shows them, in whole units.
#pragma once

#include <string>

// The amount in whole units toward zero ("1234" for 1234.75, "0" for -0.5). An amount past what a
// line can show - far beyond any park's money or price - shows as the most it can, and one that
// is no number as 0, rather than being converted out of an integer's range.
std::string MoneyText(double amount);
