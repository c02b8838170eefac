// ContactMotion: a skater body for tests that stands still, does nothing a step asks of it, and
// reports ground contact and the ground's normal as the test sets them. Tests that need a body
// noting what it is asked derive from it and override those calls.
#pragma once

#include <cstddef>

#include "core/math/Vector3.h"
#include "park/skater/SkaterMotion.h"

namespace testing_support {

struct ContactMotion : CSkaterMotion {
  void RouteStep(float) override {}
  void CrashStep(float) override {}
  void InjuredStep(float) override {}
  void OrientStep(float) override {}
  void PlayerStep(float) override {}
  void PlaceBody() override {}
  Vector3 RoutePoint(size_t) const override { return Vector3(0, 0, 0); }
  void SteerToward(const Vector3&) override {}
  void JumpTo(const Vector3&) override {}
  void TakeOff(float) override {}
  void PlaceOnGroundAt(const Vector3&) override {}
  bool HasGroundContact() const override { return contact; }
  bool IsFreshLanding() const override { return false; }
  Vector3 GetGroundNormal() const override { return normal; }

  bool contact = true;
  Vector3 normal{0.0f, 0.0f, 1.0f};
};

}  // namespace testing_support
