#include "park/runner/ParkRunner.h"

#include <cmath>
#include <cstdio>

#include "park/grid/Grid.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/saved/SavedGame.h"
#include "park/skater/Skater.h"
#include "park/world/VerezIvor.h"

namespace {

constexpr int kMaxViolations = 50;  // a broken run says enough with the first few

bool InUnit(float v) { return v >= 0.0f && v <= 1.0f; }

// Pieces of the placed list, in its order; the terrain and anything gone are skipped.
template <typename Visit>
void ForEachPlaced(const CVerezIvor& park, Visit visit) {
  for (uint32_t id : GetPlacedSectionList()) {
    auto* section = dynamic_cast<CSkatableSection*>(park.GetObjectByID(id));
    if (section != nullptr && !section->IsTerrain()) visit(*section);
  }
}

}  // namespace

uint64_t HashBytes(const uint8_t* data, size_t size) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) {
    h ^= data[i];
    h *= 1099511628211ull;
  }
  return h;
}

CParkRunner::CParkRunner(CVerezIvor& park)
    : m_park(park), m_seen(GetSkaterTally()), m_day(DayNumber()), m_dayStart(CountNow()) {}

uint64_t CParkRunner::DayNumber() const {
  const CSimClock& clock = m_park.GetClock();
  return static_cast<uint64_t>(clock.GetWeek()) * CSimClock::kDaysPerWeek + clock.GetDay();
}

CParkRunner::Counts CParkRunner::CountNow() const {
  Counts c;
  c.tally = GetSkaterTally();
  ForEachPlaced(m_park, [&c](const CSkatableSection& section) {
    const auto* facility = dynamic_cast<const CSkatableFacility*>(&section);
    const int kind = section.GetDefinition() != nullptr
                         ? section.GetDefinition()->type - ParkRunDigest::kFirstFacilityType
                         : -1;
    if (facility != nullptr && kind >= 0 && kind < ParkRunDigest::kFacilityKinds)
      c.visits[kind] += facility->GetUseCount();
  });
  return c;
}

ParkRunDigest::Day CParkRunner::DaySoFar() const {
  const Counts now = CountNow();
  const SkaterTally& a = now.tally;
  const SkaterTally& b = m_dayStart.tally;
  ParkRunDigest::Day d;
  for (int i = 0; i < SkaterTally::kDepartures; ++i) d.departures[i] = a.departures[i] - b.departures[i];
  // A facility sold today takes its visits with it; the day counts none below zero.
  for (int i = 0; i < ParkRunDigest::kFacilityKinds; ++i)
    d.visits[i] = now.visits[i] > m_dayStart.visits[i] ? now.visits[i] - m_dayStart.visits[i] : 0;
  d.tricks = a.tricks - b.tricks;
  d.crashes = a.crashes - b.crashes;
  d.teleports = a.teleports - b.teleports;
  d.skaters = static_cast<uint32_t>(GetSkaterList().size());
  return d;
}

void CParkRunner::CloseDayWhenOver() {
  ++m_ticksToday;
  const uint64_t day = DayNumber();
  if (day == m_day) return;
  m_days.push_back(DaySoFar());
  m_day = day;
  m_ticksToday = 0;
  m_dayStart = CountNow();
}

int CParkRunner::SpawnSkaters(int n) {
  int taken = 0;
  for (int i = 0; i < n; ++i) taken += m_park.SpawnSkater() != 0 ? 1 : 0;
  return taken;
}

void CParkRunner::Tick() {
  const double moneyBefore = m_park.GetMoney();
  const double balanceBefore = BookedBalance();
  // The world's own tick first, as in the game: it sets the tick length the skaters' clocks read,
  // and a park started by the game's start routines has its controller, which steps the park.
  m_park.Tick(kTickSeconds);
  if (m_park.GetController() == nullptr) {
    m_park.TickParkState(kTickSeconds);
    m_park.TickSimulation(kTickSeconds);
  }
  ++m_ticks;
  m_skaterTicks += GetSkaterList().size();
  CloseDayWhenOver();
  if (m_check) CheckInvariants(moneyBefore, balanceBefore);
}

void CParkRunner::RunTicks(int ticks) {
  for (int i = 0; i < ticks; ++i) Tick();
}

void CParkRunner::RunDays(uint32_t days) {
  const uint64_t until = DayNumber() + days;
  while (DayNumber() < until) Tick();
}

// What the books say the money should have moved by: earnings less spending.
double CParkRunner::BookedBalance() const {
  const ParkState& s = m_park.GetParkState();
  return s.earnedFromAdmission + s.earnedFromConcessions + s.contributedBySponsors + s.earnedFromResale -
         s.spentOnBuilding - s.spentOnMaintenance - s.spentOnFacilityOperation - s.spentEnteringExhibitions;
}

void CParkRunner::CheckInvariants(double moneyBefore, double balanceBefore) {
  CheckMoney(moneyBefore, balanceBefore);
  const ParkState& s = m_park.GetParkState();
  // A skater that left this tick is counted out already and goes at the world's next update.
  size_t live = 0;
  for (const CSkater* skater : GetSkaterList()) live += skater->IsMarkedForRemoval() ? 0 : 1;
  if (static_cast<int64_t>(s.skatersEntered) - static_cast<int64_t>(s.skatersExited) != static_cast<int64_t>(live)) {
    Report("entered " + std::to_string(s.skatersEntered) + " - exited " + std::to_string(s.skatersExited) +
           " != live " + std::to_string(live));
  }
  for (const CSkater* skater : GetSkaterList()) {
    if (skater->IsMarkedForRemoval()) continue;
    CheckSkater(*skater);
    CheckStuck(*skater);
    CheckCrash(*skater);
  }
  CheckReservations();
  CheckDepartures();
  for (auto it = m_watches.begin(); it != m_watches.end();) {
    it = m_park.GetObjectByID(it->first) == nullptr ? m_watches.erase(it) : std::next(it);
  }
}

void CParkRunner::CheckMoney(double moneyBefore, double balanceBefore) {
  const double moved = m_park.GetMoney() - moneyBefore;
  const double booked = BookedBalance() - balanceBefore;
  // Each booking and the money are doubles of park-sized sums: a few ulps of 1e5 per tick.
  if (std::fabs(moved - booked) > 1e-6) {
    char line[160];
    std::snprintf(line, sizeof line, "money moved %.9f but the books moved %.9f", moved, booked);
    Report(line);
  }
}

void CParkRunner::CheckSkater(const CSkater& skater) {
  const CSkater::Needs& n = skater.needs;
  const float happiness = skater.GetHappiness();
  if (!InUnit(n.tiredness) || !InUnit(n.hunger) || !InUnit(n.thirst) || !InUnit(n.bladder) || !InUnit(n.injury) ||
      !InUnit(n.mood) || !InUnit(happiness)) {
    Report("skater " + std::to_string(skater.GetID()) + " has a need, mood or happiness outside [0, 1]");
  }
  const float speed = skater.GetVelocity().Length();
  if (!(speed <= kMaxSpeed)) {
    char line[96];
    std::snprintf(line, sizeof line, "skater %u moves at %.1f m/s", skater.GetID(), speed);
    Report(line);
  }
  const CGrid* grid = m_park.GetGrid();
  for (const CSkater::RouteStep& step : skater.route.steps) {
    if (step.nodeId != CSkater::kNone && (grid == nullptr || grid->FindNode(step.nodeId) == nullptr)) {
      Report("skater " + std::to_string(skater.GetID()) + " routes through node " + std::to_string(step.nodeId) +
             ", which no longer exists");
      break;
    }
  }
  const uint32_t held = skater.mind.reservedNodeId;
  if (held != CSkater::kNone) {
    const CSkatePathNode* node = grid != nullptr ? grid->FindNode(held) : nullptr;
    if (node == nullptr || node->GetReservingSkaterId() != skater.GetID()) {
      Report("skater " + std::to_string(skater.GetID()) + " holds node " + std::to_string(held) +
             " that is not reserved for it");
    }
  }
}

// Every reserved node names a live skater that holds exactly that node.
void CParkRunner::CheckReservations() {
  auto check = [this](const CSkatePathNode& node) {
    if (!node.IsReserved()) return;
    const auto* skater = dynamic_cast<const CSkater*>(m_park.GetObjectByID(node.GetReservingSkaterId()));
    if (skater == nullptr || skater->mind.reservedNodeId != node.GetNodeId()) {
      Report("node " + std::to_string(node.GetNodeId()) + " is reserved for " +
             std::to_string(node.GetReservingSkaterId()) + ", which does not hold it");
    }
  };
  if (const CGrid* grid = m_park.GetGrid()) {
    for (int i = 0; i < grid->GetSquareCount(); ++i) check(*grid->GetSquareByIndex(i));
  }
  ForEachPlaced(m_park, [&check](const CSkatableSection& section) {
    for (const auto& node : section.GetPathNodes()) check(*node);
  });
}

// A skater that neither moves nor changes state for a minute of real time (resting aside) is stuck.
void CParkRunner::CheckStuck(const CSkater& skater) {
  Watch& w = m_watches[skater.GetID()];
  const Vector3& p = skater.GetFrame().position;
  const Vector3 d = p - w.position;
  if (w.state != skater.mind.state || d.x * d.x + d.y * d.y + d.z * d.z > 0.25f) {
    w.state = skater.mind.state;
    w.position = p;
    w.seconds = 0.0f;
    w.reported = false;
    return;
  }
  if (skater.mind.state == CSkater::kResting) return;
  w.seconds += kTickSeconds;
  if (w.seconds > kStuckSeconds && !w.reported) {
    w.reported = true;
    Report("skater " + std::to_string(skater.GetID()) + " stuck in state " + std::to_string(w.state) + " with goal " +
           std::to_string(skater.mind.goal) + " and " + std::to_string(skater.route.steps.size()) + " route steps");
  }
}

void CParkRunner::CheckCrash(const CSkater& skater) {
  Watch& w = m_watches[skater.GetID()];
  if (skater.body.motionMode != CSkater::kCrashed) {
    w.crashed = 0.0f;
    w.crashReported = false;
    return;
  }
  w.crashed += kTickSeconds;
  if (w.crashed > kCrashSeconds && !w.crashReported) {
    w.crashReported = true;
    Report("skater " + std::to_string(skater.GetID()) + " has not got up from a crash");
  }
}

void CParkRunner::CheckDepartures() {
  const SkaterTally& now = GetSkaterTally();
  for (int i = static_cast<int>(Departure::kOffGrid); i < SkaterTally::kDepartures; ++i) {
    if (now.departures[i] > m_seen.departures[i])
      Report(std::string("a skater left the park: ") + SkaterTally::Name(static_cast<Departure>(i)));
  }
  m_seen = now;
}

void CParkRunner::Report(const std::string& what) {
  if (m_violations.size() >= kMaxViolations) return;
  m_violations.push_back("tick " + std::to_string(m_ticks) + ": " + what);
}

ParkRunDigest CParkRunner::Digest() const {
  ParkRunDigest d;
  const ParkState& s = m_park.GetParkState();
  d.money = s.money;
  d.moneyFraction = s.moneyFraction;
  const double totals[8] = {s.spentOnBuilding,       s.spentOnMaintenance,    s.spentOnFacilityOperation,
                            s.spentEnteringExhibitions, s.earnedFromAdmission, s.earnedFromConcessions,
                            s.contributedBySponsors, s.earnedFromResale};
  for (int i = 0; i < 8; ++i) d.totals[i] = totals[i];
  d.entered = s.skatersEntered;
  d.exited = s.skatersExited;
  d.variety = s.variety, d.connectivity = s.connectivity, d.capacity = s.capacity;
  d.averageSkill = s.averageSkill, d.averageHappiness = s.averageHappiness, d.statisticsScore = s.statisticsScore;
  d.week = m_park.GetClock().GetWeek();
  d.day = m_park.GetClock().GetDay();
  d.hour = m_park.GetClock().GetHour();
  d.skaterCount = static_cast<uint32_t>(GetSkaterList().size());
  ForEachPlaced(m_park, [&d](const CSkatableSection& section) {
    d.sections.push_back({section.GetID(), section.GetUsage()});
    if (const auto* f = dynamic_cast<const CSkatableFacility*>(&section)) {
      d.facilities.push_back({f->GetID(), f->GetUseCount(), f->GetRevenue()});
    }
  });
  d.days = m_days;
  if (m_ticksToday > 0) d.days.push_back(DaySoFar());
  std::vector<uint8_t> bytes;
  ControllerSaveFields controller;
  if (CSavedGame::Save(m_park, controller, bytes)) d.savedGameHash = HashBytes(bytes.data(), bytes.size());
  return d;
}
