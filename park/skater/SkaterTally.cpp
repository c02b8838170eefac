#include "park/skater/SkaterTally.h"

const char* SkaterTally::Name(Departure why) {
  static const char* const kNames[kDepartures] = {"exit", "no-way", "off-grid", "top", "bounds", "no-start", "stuck"};
  const int i = static_cast<int>(why);
  return i >= 0 && i < kDepartures ? kNames[i] : "?";
}

SkaterTally& GetSkaterTally() {
  static SkaterTally tally;
  return tally;
}
