// CParkRunner: drives a park without a window or a controller - fixed 33 ms ticks of the park's
// own tick, skaters let in directly - checking the simulation's invariants as it goes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/math/Vector3.h"
#include "park/runner/ParkRunDigest.h"

class CSkater;
class CVerezIvor;

class CParkRunner {
 public:
  static constexpr float kTickSeconds = 0.033f;
  // Real seconds a skater may spend in one state without moving before the run calls it stuck.
  static constexpr float kStuckSeconds = 60.0f;
  // Real seconds a crash may last: it settles and the skater gets up after two still seconds.
  static constexpr float kCrashSeconds = 30.0f;
  // The fastest a skater may move, in m/s. The park's own motion tops out below 9 (6 on the board
  // plus a jump's rise of 6; a fall from the tallest demo piece adds 6): a faster skater is being
  // driven by its contacts, as one held against a stand or a wall can be.
  static constexpr float kMaxSpeed = 15.0f;

  // The park must have its grid; the caller seeds the game's generator once before the run.
  explicit CParkRunner(CVerezIvor& park);

  // Lets n skaters in at once, as arrivals would; returns how many the park took.
  int SpawnSkaters(int n);
  // One tick: the world's tick, then the park state's step and the simulation as the in-game
  // controller runs them (the controller itself, when the park has one).
  void Tick();
  void RunTicks(int ticks);
  // Ticks until the calendar has moved on by that many park days.
  void RunDays(uint32_t days);
  void SetCheckInvariants(bool on) { m_check = on; }

  // The run so far, with a row for every park day (the day under way last).
  ParkRunDigest Digest() const;
  // Every broken invariant, one line each with the tick it was seen at; empty while all hold.
  const std::vector<std::string>& GetViolations() const { return m_violations; }
  uint64_t GetTickCount() const { return m_ticks; }
  // Skater ticks run so far (skaters alive at each tick, summed).
  uint64_t GetSkaterTicks() const { return m_skaterTicks; }

 private:
  struct Watch {
    uint32_t state = 0;
    Vector3 position{0.0f, 0.0f, 0.0f};
    float seconds = 0.0f;
    bool reported = false;
    float crashed = 0.0f;  // seconds down since the last crash
    bool crashReported = false;
  };

  // What the skaters and facilities have done up to now, to be taken from the figures at a day's end.
  struct Counts {
    SkaterTally tally;
    uint32_t visits[ParkRunDigest::kFacilityKinds] = {};
  };
  Counts CountNow() const;
  ParkRunDigest::Day DaySoFar() const;
  uint64_t DayNumber() const;
  void CloseDayWhenOver();
  double BookedBalance() const;
  void CheckInvariants(double moneyBefore, double balanceBefore);
  void CheckMoney(double moneyBefore, double balanceBefore);
  void CheckSkater(const CSkater& skater);
  void CheckReservations();
  void CheckStuck(const CSkater& skater);
  void CheckCrash(const CSkater& skater);
  // A skater that left the park other than by its own mind's way (an exit, or no way to one).
  void CheckDepartures();
  void Report(const std::string& what);

  CVerezIvor& m_park;
  bool m_check = true;
  uint64_t m_ticks = 0;
  uint64_t m_skaterTicks = 0;
  std::map<uint32_t, Watch> m_watches;
  SkaterTally m_seen;  // the tally at the last check
  uint64_t m_day = 0;
  uint64_t m_ticksToday = 0;
  Counts m_dayStart;
  std::vector<ParkRunDigest::Day> m_days;
  std::vector<std::string> m_violations;
};

// FNV-1a, 64 bits.
uint64_t HashBytes(const uint8_t* data, size_t size);
