// SkaterTally: what the park's skaters have done since the program started - how they left,
// tricks, crashes and stuck rescues - counted where it happens, for the headless runner's table.
#pragma once

#include <cstdint>

// Why a skater left the park. The first two are the ways the skater's own mind takes it out: it
// walked onto an exit, or it wanted to leave and no way led to one. The rest are faults.
enum class Departure : uint8_t {
  kThroughExit = 0,
  kNoWayToExit,
  kOffGrid,      // a leaving skater stood off the grid
  kAboveWorld,   // rose out of the top of the world
  kOutOfWorld,   // left the world's bounds any other way
  kNoStartNode,  // stood where no path node could start a plan
  kStuck,        // taken out after its rescues led nowhere
  kCount
};

struct SkaterTally {
  static constexpr int kDepartures = static_cast<int>(Departure::kCount);
  uint64_t departures[kDepartures] = {};
  uint64_t tricks = 0;  // tricks begun
  uint64_t crashes = 0;
  uint64_t teleports = 0;  // stuck skaters put on at their next route point

  // The short name of a departure reason, for tables.
  static const char* Name(Departure why);
};

SkaterTally& GetSkaterTally();
