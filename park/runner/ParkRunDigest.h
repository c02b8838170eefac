// ParkRunDigest: what a park run ended with - money, totals, scores, clock, skaters, per-piece
// figures and a hash of the saved game - compared between runs to prove they are reproducible.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "park/skater/SkaterTally.h"

struct ParkRunDigest {
  // Facility kinds by catalog type, restroom (13) to first aid (18).
  static constexpr int kFacilityKinds = 6;
  static constexpr int kFirstFacilityType = 13;
  // What one park day saw: skaters leaving by reason, facility visits by kind, tricks begun,
  // crashes and stuck rescues.
  struct Day {
    uint64_t departures[SkaterTally::kDepartures] = {};
    uint32_t visits[kFacilityKinds] = {};
    uint64_t tricks = 0, crashes = 0, teleports = 0;
    uint32_t skaters = 0;  // live at the day's end
    bool operator==(const Day& o) const;
  };
  struct Facility {
    uint32_t id = 0;
    uint32_t uses = 0;
    double revenue = 0.0;
    bool operator==(const Facility& o) const { return id == o.id && uses == o.uses && revenue == o.revenue; }
  };
  struct Section {
    uint32_t id = 0;
    float usage = 0.0f;
    bool operator==(const Section& o) const { return id == o.id && usage == o.usage; }
  };

  int32_t money = 0;
  double moneyFraction = 0.0;
  // Building, maintenance, facility operation, exhibitions, admission, concessions, sponsors, resale.
  double totals[8] = {};
  uint32_t entered = 0, exited = 0;
  float variety = 0.0f, connectivity = 0.0f, capacity = 0.0f;
  float averageSkill = 0.0f, averageHappiness = 0.0f, statisticsScore = 0.0f;
  uint32_t week = 0, day = 0;
  double hour = 0.0;
  uint32_t skaterCount = 0;
  std::vector<Facility> facilities;
  std::vector<Section> sections;
  std::vector<Day> days;       // every whole park day run, then the day under way
  uint64_t savedGameHash = 0;  // FNV-1a of the saved-game bytes; 0 when the park could not be saved

  bool operator==(const ParkRunDigest& o) const;
  bool operator!=(const ParkRunDigest& o) const { return !(*this == o); }
  // One field per line, for failure messages and the benchmark's log; the days as a table.
  std::string Describe() const;
  // The days' figures added up.
  Day Total() const;
};
