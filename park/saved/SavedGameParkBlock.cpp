#include "park/saved/SavedGameParkBlock.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"

namespace {

// A park numbers its skaters from 10 on, one an arrival, and lets one in every 2.25 real seconds
// at the most: a billion arrivals take seventy years, and the number stays clear of wrapping.
constexpr int32_t kFirstSkaterNumber = 10;
constexpr int32_t kMaxSkaterNumber = 1000000000;
// The fraction holds less than a unit once a tick has settled the money; beyond that it holds only
// what the 32-bit whole money cannot take, and no park earns another 2^31 units past that.
constexpr double kMaxMoneyFraction = 2147483648.0;
// A day's admission dearer than twice the richest starting money (50000) turns every skater away.
constexpr float kMaxAdmissionFee = 100000.0f;

bool Finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}
bool Finite(const Vector3& v) { return Finite({v.x, v.y, v.z}); }

// Whether the block holds only numbers a running park makes: every real a number, the money and
// the fee within what a park takes, the skater number on its way up from 10.
bool InRange(const SavedParkBlock& b) {
  const ParkState& s = b.state;
  const ControllerSaveFields& c = b.controller;
  const COrientation& f = b.cameraFrame;
  const bool finite = Finite({s.spentOnBuilding, s.spentOnMaintenance, s.spentOnFacilityOperation,
                              s.spentEnteringExhibitions, s.earnedFromAdmission, s.earnedFromConcessions,
                              s.contributedBySponsors}) &&
                      Finite({s.viewDistance, s.averageHappiness, s.averageSkill, s.capacity, s.connectivity, s.variety,
                              s.statisticsScore, s.timeSinceLastArrival, b.worldTime, b.clockHour,
                              b.cameraOrthoWidth}) &&
                      Finite({c.largestTrickBonus, c.exhibitionMoney, c.exhibitionTotal}) && Finite(c.focus) &&
                      Finite(c.viewDirection) && Finite(f.axes.m[0]) && Finite(f.axes.m[1]) && Finite(f.axes.m[2]) &&
                      Finite(f.position);
  return finite && std::fabs(s.moneyFraction) <= kMaxMoneyFraction && s.admissionFee >= 0.0f &&
         s.admissionFee <= kMaxAdmissionFee && s.nextSkaterNumber >= kFirstSkaterNumber &&
         s.nextSkaterNumber <= kMaxSkaterNumber;
}

// One row of the block: the oldest version whose files hold it, and how it is read. The rows stand
// newest first, so a file of version v holds exactly the rows whose version is not above v.
struct Row {
  uint32_t since;
  bool (*read)(CByteCursor& in, SavedParkBlock& b);
};

bool ReadSponsorships(CByteCursor& in, SavedParkBlock& b) {
  uint8_t count = 0;
  if (!in.ReadU8(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t offered = 0;
    int32_t sponsor = -1;
    // Three bytes after the offered flag carry nothing.
    if (!in.ReadU8(offered) || !in.Skip(3) || !in.ReadI32(sponsor)) return false;
    if (i >= static_cast<uint32_t>(ParkState::kSponsorshipSlots)) continue;
    b.state.sponsorships[i].offered = offered;
    b.state.sponsorships[i].sponsorObjectID = sponsor;
  }
  return true;
}

bool ReadCamera(CByteCursor& in, SavedParkBlock& b) {
  for (int r = 0; r < 3; ++r)
    if (!in.ReadVector3(b.cameraFrame.axes.m[r])) return false;
  return in.ReadVector3(b.cameraFrame.position) && in.ReadF32(b.cameraOrthoWidth);
}

bool ReadTotals(CByteCursor& in, SavedParkBlock& b) {
  ParkState& s = b.state;
  for (double* d : {&s.spentOnBuilding, &s.spentOnMaintenance, &s.spentOnFacilityOperation,
                    &s.spentEnteringExhibitions, &s.earnedFromAdmission, &s.earnedFromConcessions,
                    &s.contributedBySponsors})
    if (!in.ReadF64(*d)) return false;
  return in.ReadU32(s.skatersEntered) && in.ReadU32(s.skatersExited);
}

const Row kRows[] = {
    {12, [](CByteCursor& in, SavedParkBlock& b) {
       return in.ReadF32(b.controller.largestTrickBonus) && in.ReadF32(b.controller.exhibitionMoney) &&
              in.ReadF32(b.controller.exhibitionTotal);
     }},
    {11, &ReadTotals},
    {10, [](CByteCursor& in, SavedParkBlock& b) {
       return in.ReadU8(b.state.fogEnabled) && in.ReadF32(b.state.viewDistance);
     }},
    {9, [](CByteCursor& in, SavedParkBlock& b) { return in.ReadF32(b.state.averageHappiness); }},
    {7, &ReadSponsorships},
    {6, [](CByteCursor& in, SavedParkBlock& b) { return in.ReadI32(b.state.nextSkaterNumber); }},
    {5, [](CByteCursor& in, SavedParkBlock& b) { return in.ReadF64(b.state.timeSinceLastArrival); }},
    {4, [](CByteCursor& in, SavedParkBlock& b) { return in.ReadF64(b.worldTime); }},
    {3, [](CByteCursor& in, SavedParkBlock& b) {
       return in.ReadI32(b.state.money) && in.ReadF64(b.state.moneyFraction);
     }},
    {2, [](CByteCursor& in, SavedParkBlock& b) { return in.ReadF32(b.state.averageSkill); }},
    {1, [](CByteCursor& in, SavedParkBlock& b) {
       return ReadCamera(in, b) && in.ReadVector3(b.controller.focus) && in.ReadVector3(b.controller.viewDirection);
     }},
    {0, [](CByteCursor& in, SavedParkBlock& b) {
       ParkState& s = b.state;
       // Connectivity is written twice; the second copy wins.
       return in.ReadBytes(s.savedPair, sizeof(s.savedPair)) && in.ReadF32(s.capacity) &&
              in.ReadF32(s.connectivity) && in.ReadF32(s.connectivity) && in.ReadF32(s.variety) &&
              in.ReadU8(s.levelIndex) && in.ReadF32(s.admissionFee) && in.ReadF32(s.statisticsScore) &&
              in.ReadU32(b.clockWeek) && in.ReadU32(b.clockDay) && in.ReadF64(b.clockHour);
     }},
};

}  // namespace

void SavedParkBlock::Write(std::vector<uint8_t>& out) const {
  const ParkState& s = state;
  le::PutU32(out, kVersion);
  le::PutU8(out, s.levelIndex);
  out.insert(out.end(), s.parkName, s.parkName + ParkState::kParkNameSize);
  le::PutU32(out, static_cast<uint32_t>(s.savedWord));
  le::PutF32(out, controller.largestTrickBonus);
  le::PutF32(out, controller.exhibitionMoney);
  le::PutF32(out, controller.exhibitionTotal);
  for (double d : {s.spentOnBuilding, s.spentOnMaintenance, s.spentOnFacilityOperation, s.spentEnteringExhibitions,
                   s.earnedFromAdmission, s.earnedFromConcessions, s.contributedBySponsors})
    le::PutF64(out, d);
  le::PutU32(out, s.skatersEntered);
  le::PutU32(out, s.skatersExited);
  le::PutU8(out, s.fogEnabled);
  le::PutF32(out, s.viewDistance);
  le::PutF32(out, s.averageHappiness);
  le::PutU8(out, ParkState::kSponsorshipSlots);
  for (const SponsorshipSlot& slot : s.sponsorships) {
    le::PutU8(out, slot.offered);
    for (int i = 0; i < 3; ++i) le::PutU8(out, 0);
    le::PutU32(out, static_cast<uint32_t>(slot.sponsorObjectID));
  }
  le::PutU32(out, static_cast<uint32_t>(s.nextSkaterNumber));
  le::PutF64(out, s.timeSinceLastArrival);
  le::PutF64(out, worldTime);
  le::PutU32(out, static_cast<uint32_t>(s.money));
  le::PutF64(out, s.moneyFraction);
  le::PutF32(out, s.averageSkill);
  for (int r = 0; r < 3; ++r) le::PutVector3(out, cameraFrame.axes.m[r]);
  le::PutVector3(out, cameraFrame.position);
  le::PutF32(out, cameraOrthoWidth);
  le::PutVector3(out, controller.focus);
  le::PutVector3(out, controller.viewDirection);
  out.insert(out.end(), s.savedPair, s.savedPair + sizeof(s.savedPair));
  le::PutF32(out, s.capacity);
  le::PutF32(out, s.connectivity);
  le::PutF32(out, s.connectivity);
  le::PutF32(out, s.variety);
  le::PutU8(out, s.levelIndex);
  le::PutF32(out, s.admissionFee);
  le::PutF32(out, s.statisticsScore);
  le::PutU32(out, clockWeek);
  le::PutU32(out, clockDay);
  le::PutF64(out, clockHour);
}

bool SavedParkBlock::Read(CByteCursor& in) {
  uint32_t version = 0;
  if (!in.ReadU32(version)) {
    DebugPrintf("SavedGame: the park block is cut short\n");
    return false;
  }
  if (version > kVersion) {
    DebugPrintf("SavedGame: park block version %u is newer than this program reads\n", version);
    return false;
  }
  if (version >= kFirstVersionWithHead &&
      !(in.ReadU8(state.levelIndex) && in.Skip(ParkState::kParkNameSize) && in.ReadI32(state.savedWord))) {
    DebugPrintf("SavedGame: the park block is cut short\n");
    return false;
  }
  const uint8_t headLevel = state.levelIndex;
  for (const Row& row : kRows) {
    if (row.since > version) continue;
    if (!row.read(in, *this)) {
      DebugPrintf("SavedGame: the park block is cut short\n");
      return false;
    }
  }
  // The level is written twice; the screens choose the level by the head's copy, the rows hold the
  // other, and a game started on one level must not take the park of another.
  if (version >= kFirstVersionWithHead && state.levelIndex != headLevel) {
    DebugPrintf("SavedGame: the park block names level %u in its head and %u in its rows\n", headLevel,
                state.levelIndex);
    return false;
  }
  if (!InRange(*this)) {
    DebugPrintf("SavedGame: the park block holds numbers no park makes\n");
    return false;
  }
  return true;
}
