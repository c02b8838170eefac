// Contact response of CRigidCollisionBody: impulses, anchored bodies, the impact report and resting friction.
#include <algorithm>
#include <cmath>

#include "physics/collision/CollisionFlags.h"
#include "physics/rigid/RigidCollisionBody.h"
#include "physics/rigid/RigidCollisionReport.h"
#include "physics/collision/SurfaceType.h"

namespace {

// One shared report: filled and handed on within one call.
RigidCollisionReport& Report() {
  static RigidCollisionReport report;
  return report;
}

// Separation speed of the push that keeps resting contacts from sinking in.
constexpr float kContactPush = 0.01f;

// Restitution impulse plus a small push (1 cm/s) that keeps resting contacts from sinking in.
// Only a body that approaches the surface at p gets one: a body already leaving it needs
// nothing, and a push there would only add energy.
float PushImpulse(RigidBodyState& s, const Vector3& p, const Vector3& n, float e) {
  if (!(n.Dot(s.GetPointVelocity(p)) < 0.0f) || s.GetInverseMass() == 0.0f) return 0.0f;
  const float j = ImpulseMagnitude(s, p, n, e) + kContactPush * s.GetMass();
  if (j > 0.0f) s.ApplyImpulseAtPoint(n * j, p);
  return j > 0.0f ? j : 0.0f;
}

}  // namespace

bool CRigidCollisionBody::HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) {
  if (!info || !hit) return false;
  if (info->kind == CollisionInfo::kStatic) return CollideWithStatic(info, hit);
  if (info->kind == CollisionInfo::kBody) return CollideWithBody(info, hit);
  return false;
}

float CRigidCollisionBody::ResolveStaticContact(const Vector3& p, const Vector3& n, const SurfaceType* surface) {
  return PushImpulse(m_state, p, n, MixedRestitution(m_state.surface, surface));
}

float CRigidCollisionBody::ResolveWedgedContact(const std::vector<Vector3>& normals, const SurfaceType* surface) {
  if (normals.empty()) return 0.0f;
  const Vector3& first = normals.front();
  const Vector3& last = normals.back();
  if (last.Dot(first) < 0.0f) {
    // Two facing surfaces: only motion along their crease stays.
    Vector3 axis = last.Cross(first);
    if (axis.Length() != 0.0f) axis = axis * (1.0f / axis.Length());
    Vector3 allowed = axis * axis.Dot(m_state.velocity);
    for (size_t i = 1; i + 1 < normals.size(); ++i)
      if (normals[i].Dot(allowed) < 0.0f) allowed = Vector3(0.0f, 0.0f, 0.0f);
    const Vector3 j = (allowed - m_state.velocity) * m_state.GetMass();
    if (m_state.GetInverseMass() != 0.0f) m_state.velocity = allowed;
    return j.Length();
  }
  return PushImpulse(m_state, m_state.position, last, MixedRestitution(m_state.surface, surface));
}

float CRigidCollisionBody::ResolveBodyContact(CRigidCollisionBody& a, CRigidCollisionBody& b, const Vector3& p,
                                              const Vector3& n) {
  RigidBodyState& sa = a.m_state;
  RigidBodyState& sb = b.m_state;
  const float e = MixedRestitution(sa.surface, sb.surface);
  // Bodies that already separate at p exchange nothing; an impulse there would pull them together.
  if (!(n.Dot(sa.GetPointVelocity(p) - sb.GetPointVelocity(p)) < 0.0f)) return 0.0f;
  if (!sa.anchored && sb.anchored) {
    const float j = ImpulseMagnitude(sa, p, n, e);
    if (j <= sb.anchorStrength) return PushImpulse(sa, p, n, e);
    sb.anchored = 0;
    b.UpdateMovableFlag();
  } else if (sa.anchored) {
    const float j = ImpulseMagnitude(sb, p, -n, e);
    if (j <= sa.anchorStrength) return PushImpulse(sb, p, -n, e);
    sa.anchored = 0;
    a.UpdateMovableFlag();
  }
  const float j = TwoBodyImpulseMagnitude(sa, sb, p, n);
  if (!(j > 0.0f)) return 0.0f;
  // The small push of a resting contact, here 2 cm/s apart: 1 cm/s each for equal masses, and
  // one impulse for both, so that the pair gains no momentum whatever their masses.
  const float ma = sa.GetMass(), mb = sb.GetMass();
  const float push = ma + mb > 0.0f ? kContactPush * 2.0f * ma * mb / (ma + mb) : 0.0f;
  const Vector3 ja = n * (j + push), jb = -n * (j + push);
  sa.ApplyImpulse(ja);
  sa.AddAngularMomentum((p - sa.position).Cross(ja));
  sb.ApplyImpulse(jb);
  sb.AddAngularMomentum((p - sb.position).Cross(jb));
  return j;
}

bool CRigidCollisionBody::CollideWithStatic(const CollisionInfo* info, const IntersectionResult* hit) {
  m_partner = nullptr;
  m_contactSurface = info->surface;
  const Vector3 n = m_contactNormal;
  SetContact(info->object, hit->point, n);
  const Vector3 v = m_state.velocity;
  float j;
  if (GetContactNormals().size() >= 2 && m_state.rotationLocked)
    j = ResolveWedgedContact(GetContactNormals(), info->surface);
  else
    j = ResolveStaticContact(hit->point, n, info->surface);
  RigidCollisionReport& report = Report();
  report.object = this;
  report.surface = m_state.surface;
  report.Fill(j, v, n);
  HandleCollision(&report, hit);
  if (info->owner) {
    report.Reverse();
    info->owner->HandleCollision(&report, hit);
  }
  return true;
}

bool CRigidCollisionBody::CollideWithBody(const CollisionInfo* info, const IntersectionResult* hit) {
  CRigidCollisionBody* other = dynamic_cast<CRigidCollisionBody*>(info->object);
  if (!other || other == this) return false;
  const Vector3 n = m_contactNormal;
  SetContact(other, hit->point, n);
  const Vector3 v = m_state.velocity - other->m_state.velocity;
  const float j = ResolveBodyContact(*this, *other, hit->point, n);
  RigidCollisionReport& report = Report();
  report.object = this;
  report.surface = m_state.surface;
  report.Fill(j, v, n);
  m_partner = other;
  m_contactSurface = other->m_state.surface;
  HandleCollision(&report, hit);
  report.Reverse();
  other->HandleCollision(&report, hit);
  if (!other->m_state.anchored) other->AddBoundFlags(CollisionFlags::kPushable);
  return true;
}

void CRigidCollisionBody::ApplyContactFriction(float dt) {
  m_stuck = 0;
  if (m_state.GetInverseMass() == 0.0f || !(dt > 0.0f)) return;
  const Vector3 n = m_touchNormal;
  const Vector3 f = m_state.force;
  if (!m_state.rotationLocked) {
    if (!m_touchObject) {
      if (!m_pressing) return;
      m_pressing = 0;  // one more step of friction with the last normal force
    } else {
      m_pressing = 1;
      m_normalForce = f.Dot(n) < 0.0f ? -f.Dot(n) : 0.0f;
    }
  } else {
    if (!m_touchObject) return;
    m_normalForce = f.Dot(n) < 0.0f ? -f.Dot(n) : 0.0f;
  }
  const float normalForce = m_normalForce;
  if (!(normalForce > 0.0f)) return;

  const SurfaceType& own = m_state.surface ? *m_state.surface : *SurfaceType::Get(0);
  const SurfaceType& other = m_contactSurface ? *m_contactSurface : *SurfaceType::Get(0);
  const SurfaceMix mix = SurfaceType::Mix(other, own);
  Vector3 vrel = m_state.velocity;
  if (m_partner) vrel -= m_partner->m_state.GetPointVelocity(m_touchPoint);
  const float vn = vrel.Dot(n);
  const Vector3 vt = vrel - n * vn;
  const Vector3 ft = f + n * normalForce;
  const float speed = vt.Length();
  const float ftLen = ft.Length();
  const float m = m_state.GetMass();

  Vector3 friction(0.0f, 0.0f, 0.0f);
  bool stopTangential = false;
  if (speed >= 1.0f) {
    // Kinetic friction, but never more than the force that stops the sliding within the step.
    friction = vt * (-std::min(mix.kineticFriction * normalForce, m * speed / dt) / speed);
  } else if (!(ftLen > 0.0f)) {
    stopTangential = true;
  } else if (mix.staticFriction * normalForce <= ftLen) {
    friction = ft * (-mix.kineticFriction * normalForce / ftLen);
  } else {
    friction = -ft;
    stopTangential = true;
  }
  if (stopTangential) {
    if (vn >= 0.5f) {
      m_state.ApplyImpulse(vt * -m);
    } else {
      m_state.velocity = Vector3(0.0f, 0.0f, 0.0f);
      m_stuck = 1;
    }
  }
  Vector3 total = friction;
  if (m_pressing) total += n * normalForce;
  if (m_stuck && m_state.rotationLocked)
    m_state.ClearForces();
  else
    m_state.AddForce(total);
  if (m_partner) m_partner->m_state.AddForce(-total);

  const float spin = n.Dot(m_state.angularMomentum);
  const float change = std::fabs(spin) >= 0.5f ? -0.1f * spin : -spin;
  m_state.AddAngularMomentum(n * change);
}
