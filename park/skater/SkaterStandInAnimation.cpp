#include "park/skater/SkaterStandInAnimation.h"

#include "park/skater/Skater.h"

namespace {
// First entry and count of each category's trick range (6 is unused).
constexpr int kFirst[8] = {0, 11, 21, 21, 40, 51, -1, 53};
constexpr int kCount[8] = {11, 10, 3, 19, 11, 2, 0, 3};
}  // namespace

void CSkaterStandInAnimation::Play(int entry, bool loop) {
  if (entry < 0 || entry >= kEntryCount) return;
  m_current = entry;
  m_skater.body.animIndex = entry;
}

int CSkaterStandInAnimation::GetCategory(int entry) const {
  if (entry < 0 || entry >= kEntryCount) return -1;
  if (entry < 11) return 0;
  if (entry < 21) return 1;
  if (entry < 24) return 2;
  if (entry < 40) return 3;
  if (entry < 51) return 4;
  if (entry < 53) return 5;
  return 7;
}

int CSkaterStandInAnimation::GetCategoryFirst(uint32_t category) const { return category < 8 ? kFirst[category] : -1; }

int CSkaterStandInAnimation::GetCategoryCount(uint32_t category) const { return category < 8 ? kCount[category] : 0; }
