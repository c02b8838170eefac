// CSkaterStandInAnimation: the animation player a skater has until a body registers its own - it
// remembers what plays and knows the table's categories, with every difficulty 0 and no sounds.
#pragma once

#include "park/skater/SkaterAnimation.h"

class CSkater;

class CSkaterStandInAnimation : public CSkaterAnimation {
 public:
  explicit CSkaterStandInAnimation(CSkater& skater) : m_skater(skater) {}

  void Play(int entry, bool loop) override;
  int GetCurrent() const override { return m_current; }
  void Advance(float dt, float speed) override {}
  void UpdateRollingSound(float dt) override {}
  void PlaySound(Sound sound) override {}

  int GetCategory(int entry) const override;
  float GetDifficulty(int entry) const override { return 0.0f; }
  const char* GetDisplayName(int entry) const override { return ""; }
  int GetCategoryFirst(uint32_t category) const override;
  int GetCategoryCount(uint32_t category) const override;

 private:
  CSkater& m_skater;
  int m_current = -1;
};
