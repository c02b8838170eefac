#include "physics/rigid/RigidCollisionReport.h"

#include <algorithm>

#include "physics/rigid/RigidBodyState.h"
#include "physics/collision/SurfaceType.h"

void RigidCollisionReport::Fill(float j, const Vector3& v, const Vector3& n) {
  kind = kKind;
  impulse = j;
  velocity = v;
  normal = n;
  normalSpeed = v.Dot(n);
  tangentialVelocity = v - n * normalSpeed;
}

void RigidCollisionReport::Reverse() {
  velocity = -velocity;
  normal = -normal;
}

namespace {

float RotationalTerm(const RigidBodyState& s, const Vector3& p, const Vector3& n) {
  const Vector3 r = p - s.position;
  return n.Dot(s.ApplyWorldInverseInertia(r.Cross(n)).Cross(r));
}

}  // namespace

float ImpulseMagnitude(const RigidBodyState& state, const Vector3& p, const Vector3& n, float e) {
  float denom = n.LengthSquared() * state.GetInverseMass();
  if (!state.rotationLocked) denom += RotationalTerm(state, p, n);
  if (!(denom > 0.0f)) return 0.0f;
  return -(1.0f + e) * n.Dot(state.GetPointVelocity(p)) / denom;
}

float TwoBodyImpulseMagnitude(const RigidBodyState& a, const RigidBodyState& b, const Vector3& p, const Vector3& n) {
  const float e = MixedRestitution(a.surface, b.surface);
  const float nn = n.LengthSquared();
  float denom = nn * a.GetInverseMass() + nn * b.GetInverseMass();
  if (!a.rotationLocked && !b.rotationLocked) denom += RotationalTerm(a, p, n) + RotationalTerm(b, p, n);
  if (!(denom > 0.0f)) return 0.0f;
  return -(1.0f + e) * n.Dot(a.GetPointVelocity(p) - b.GetPointVelocity(p)) / denom;
}

float MixedRestitution(const SurfaceType* a, const SurfaceType* b) {
  const SurfaceType& sa = a ? *a : *SurfaceType::Get(0);
  const SurfaceType& sb = b ? *b : *SurfaceType::Get(0);
  return std::min(1.0f, std::max(0.0f, SurfaceType::Mix(sa, sb).bounce));
}
