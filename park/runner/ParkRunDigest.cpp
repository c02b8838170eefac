#include "park/runner/ParkRunDigest.h"

#include <algorithm>
#include <cstdio>

bool ParkRunDigest::Day::operator==(const Day& o) const {
  return std::equal(std::begin(departures), std::end(departures), std::begin(o.departures)) &&
         std::equal(std::begin(visits), std::end(visits), std::begin(o.visits)) && tricks == o.tricks &&
         crashes == o.crashes && teleports == o.teleports && skaters == o.skaters;
}

ParkRunDigest::Day ParkRunDigest::Total() const {
  Day t;
  for (const Day& d : days) {
    for (int i = 0; i < SkaterTally::kDepartures; ++i) t.departures[i] += d.departures[i];
    for (int i = 0; i < kFacilityKinds; ++i) t.visits[i] += d.visits[i];
    t.tricks += d.tricks, t.crashes += d.crashes, t.teleports += d.teleports;
    t.skaters = d.skaters;
  }
  return t;
}

bool ParkRunDigest::operator==(const ParkRunDigest& o) const {
  for (int i = 0; i < 8; ++i) {
    if (totals[i] != o.totals[i]) return false;
  }
  return money == o.money && moneyFraction == o.moneyFraction && entered == o.entered && exited == o.exited &&
         variety == o.variety && connectivity == o.connectivity && capacity == o.capacity &&
         averageSkill == o.averageSkill && averageHappiness == o.averageHappiness &&
         statisticsScore == o.statisticsScore && week == o.week && day == o.day && hour == o.hour &&
         skaterCount == o.skaterCount && facilities == o.facilities && sections == o.sections && days == o.days &&
         savedGameHash == o.savedGameHash;
}

std::string ParkRunDigest::Describe() const {
  std::string out;
  char line[200];
  auto add = [&out, &line]() { out += line; };
  std::snprintf(line, sizeof line, "money %d + %.17g\n", money, moneyFraction), add();
  std::snprintf(line, sizeof line, "totals %.17g %.17g %.17g %.17g %.17g %.17g %.17g %.17g\n", totals[0], totals[1],
                totals[2], totals[3], totals[4], totals[5], totals[6], totals[7]), add();
  std::snprintf(line, sizeof line, "skaters entered %u exited %u live %u\n", entered, exited, skaterCount), add();
  std::snprintf(line, sizeof line, "scores %.9g %.9g %.9g skill %.9g happiness %.9g statistics %.9g\n", variety,
                connectivity, capacity, averageSkill, averageHappiness, statisticsScore), add();
  std::snprintf(line, sizeof line, "clock week %u day %u hour %.17g\n", week, day, hour), add();
  for (const Facility& f : facilities) {
    std::snprintf(line, sizeof line, "facility %u uses %u revenue %.17g\n", f.id, f.uses, f.revenue), add();
  }
  for (const Section& s : sections) std::snprintf(line, sizeof line, "section %u usage %.9g\n", s.id, s.usage), add();
  out += "day  left:";
  for (int i = 0; i < SkaterTally::kDepartures; ++i)
    out += std::string(" ") + SkaterTally::Name(static_cast<Departure>(i));
  out += "  visits: restroom food drink shirt shop medic  tricks crashes teleports skaters\n";
  auto row = [&](const char* label, const Day& d) {
    std::snprintf(line, sizeof line, "%-5s", label), add();
    for (uint64_t n : d.departures)
      std::snprintf(line, sizeof line, " %llu", static_cast<unsigned long long>(n)), add();
    out += "  visits:";
    for (uint32_t n : d.visits) std::snprintf(line, sizeof line, " %u", n), add();
    std::snprintf(line, sizeof line, "  %llu %llu %llu %u\n", static_cast<unsigned long long>(d.tricks),
                  static_cast<unsigned long long>(d.crashes), static_cast<unsigned long long>(d.teleports), d.skaters),
        add();
  };
  for (size_t i = 0; i < days.size(); ++i) row(std::to_string(i + 1).c_str(), days[i]);
  row("all", Total());
  std::snprintf(line, sizeof line, "saved game %016llx\n", static_cast<unsigned long long>(savedGameHash)), add();
  return out;
}
