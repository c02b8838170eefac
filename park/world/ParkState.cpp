#include "park/world/ParkState.h"

#include <cmath>
#include <cstring>

void ParkState::Reset() {
  money = 10000;
  moneyFraction = 0.0;
  timeSinceLastArrival = 999999999.0;
  admissionFee = 40.0f;
  variety = 0.0f;
  connectivity = 0.0f;
  capacity = 0.0f;
  averageSkill = 0.0f;
  averageHappiness = 0.0f;
  nextSkaterNumber = 10;
  for (SponsorshipSlot& slot : sponsorships) slot = SponsorshipSlot();
  parkName[0] = '\0';
  savedWord = -1;
  fogEnabled = 1;
  viewDistance = 0.3f;
  spentOnBuilding = 0.0;
  spentOnMaintenance = 0.0;
  spentOnFacilityOperation = 0.0;
  spentEnteringExhibitions = 0.0;
  earnedFromAdmission = 0.0;
  earnedFromConcessions = 0.0;
  contributedBySponsors = 0.0;
  earnedFromResale = 0.0;
  skatersEntered = 0;
  skatersExited = 0;
}

namespace {
// Adds whole units without wrapping the 32-bit money; returns the units actually moved.
double AddWholeUnits(int32_t& money, double units) {
  const double target = std::fmax(-2147483648.0, std::fmin(2147483647.0, static_cast<double>(money) + units));
  const double moved = target - static_cast<double>(money);
  money = static_cast<int32_t>(target);
  return moved;
}
}  // namespace

void ParkState::NormaliseMoney() {
  // A fraction that is not a number would spread into the whole money; it can only come from a
  // broken cost, so it is dropped rather than kept.
  if (!std::isfinite(moneyFraction)) moneyFraction = 0.0;
  if (moneyFraction < 0.0) {
    const double k = std::trunc(-moneyFraction) + 1.0;
    moneyFraction += -AddWholeUnits(money, -k);
  } else if (moneyFraction > 1.0) {
    const double k = std::trunc(moneyFraction);
    moneyFraction -= AddWholeUnits(money, k);
  }
}

bool ParkState::AddMoney(double amount) {
  if (!std::isfinite(amount)) return false;
  const double whole = std::trunc(amount);
  // Whatever the 32-bit money cannot take stays in the fraction, so nothing is lost.
  moneyFraction += amount - AddWholeUnits(money, whole);
  return true;
}

bool ParkState::HasSponsor(int slot) const {
  if (slot < 0 || slot >= kSponsorshipSlots) return false;
  return sponsorships[slot].offered != 0 && sponsorships[slot].sponsorObjectID != -1;
}

void ParkState::SetParkName(const char* name) {
  if (name == nullptr) name = "";
  std::strncpy(parkName, name, kParkNameSize - 1);
  parkName[kParkNameSize - 1] = '\0';
}
