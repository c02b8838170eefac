// CSkaterStandInMotion: the motion a skater has until a body registers its own - it glides straight
// from route point to route point at a steady speed, with no physics, so the mind can be driven.
#pragma once

#include "park/skater/Skater.h"
#include "park/skater/SkaterMotion.h"

class CSkater;

class CSkaterStandInMotion : public CSkaterMotion {
 public:
  static constexpr float kSpeed = 3.0f;  // metres per real second

  explicit CSkaterStandInMotion(CSkater& skater) : m_skater(skater) {}

  void RouteStep(float dt) override;
  void CrashStep(float dt) override;
  void InjuredStep(float dt) override {}
  void OrientStep(float dt) override {}
  void PlayerStep(float dt) override {}
  void PlaceBody() override {}

  Vector3 RoutePoint(size_t i) const override;
  void SteerToward(const Vector3& point) override { m_skater.body.targetPoint = point; }
  void JumpTo(const Vector3& point) override {}
  void TakeOff(float landingHeight) override {}
  void PlaceOnGroundAt(const Vector3& point) override;
  bool HasGroundContact() const override { return true; }
  bool IsFreshLanding() const override { return false; }

 private:
  CSkater& m_skater;
};
