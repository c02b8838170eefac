// ParkState: the park record - money, running totals, scores, sponsorship slots and park name.
#pragma once

#include <cstdint>

struct SponsorshipSlot {
  uint8_t offered = 0;
  int32_t sponsorObjectID = -1;  // the placed sponsor piece of this slot; -1 while none is down
};

struct ParkState {
  static constexpr int kSponsorshipSlots = 4;
  static constexpr int kParkNameSize = 100;

  ParkState() { Reset(); }

  // Values of a fresh park. The level index is left alone: the screen that starts a game sets it.
  void Reset();

  // The whole part of the amount (toward zero) goes to the whole money, the rest to the fraction.
  // An amount that is not a number is refused (false).
  bool AddMoney(double amount);
  double GetMoney() const { return moneyFraction + static_cast<double>(money); }

  // Moves whole units between the fraction and the whole money so the fraction ends in [0, 1]:
  // a negative fraction borrows (ending in (0, 1]); a fraction above 1 pays out its whole part.
  void NormaliseMoney();

  // The rating a slot's offer waits for.
  static float SponsorshipThreshold(int slot) { return 300.0f + 100.0f * static_cast<float>(slot); }
  // A slot with a placed sponsor piece from its offer.
  bool HasSponsor(int slot) const;

  // Copies the name, cut to fit.
  void SetParkName(const char* name);

  uint8_t levelIndex = 0xFF;
  int32_t money = 10000;
  double moneyFraction = 0.0;
  uint8_t savedPair[8] = {};
  double timeSinceLastArrival = 999999999.0;  // simulated seconds; large so the first skater comes at once
  float admissionFee = 40.0f;
  float statisticsScore = 0.0f;
  float variety = 0.0f;
  float connectivity = 0.0f;
  float capacity = 0.0f;
  float averageSkill = 0.0f;
  float averageHappiness = 0.0f;
  int32_t nextSkaterNumber = 10;
  SponsorshipSlot sponsorships[kSponsorshipSlots];
  char parkName[kParkNameSize] = {};
  int32_t savedWord = -1;
  uint8_t fogEnabled = 1;
  float viewDistance = 0.3f;
  double spentOnBuilding = 0.0;
  double spentOnMaintenance = 0.0;
  double spentOnFacilityOperation = 0.0;
  double spentEnteringExhibitions = 0.0;
  double earnedFromAdmission = 0.0;
  double earnedFromConcessions = 0.0;
  double contributedBySponsors = 0.0;
  // Running total of what sold pieces brought back; kept apart from the totals spent so that the
  // statistics can show what building cost net of sales.
  double earnedFromResale = 0.0;
  uint32_t skatersEntered = 0;
  uint32_t skatersExited = 0;
};
