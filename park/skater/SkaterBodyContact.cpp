// CSkaterBody: the sweep, the contact responses, skater meetings, board placement and debug drawing.
#include <algorithm>
#include <cmath>
#include <memory>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/spatial/Octree.h"
#include "core/math/RayInfo.h"
#include "core/math/TMatrix.h"
#include "park/grid/SkatePathNode.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterBody.h"
#include "park/world/VerezIvor.h"
#include "physics/collision/BeamInfo.h"
#include "platform/system/Platform.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/SceneDrawInterface.h"

namespace {
constexpr float kInvRandMax = 1.0f / 32767.0f;
constexpr uint32_t kStaticWorldMask = 0x100000;

Vector3 Horizontal(const Vector3& v) { return Vector3(v.x, v.y, 0.0f); }

// A wire cube of side kMarkerSize about the point: each corner joined to the corners that differ
// from it along one axis.
void DrawMarkerBox(CSceneDrawInterface& view, const Vector3& centre, uint32_t colour) {
  constexpr float kMarkerSize = 0.3f;
  auto corner = [&centre](int bits) {
    const float h = 0.5f * kMarkerSize;
    return centre + Vector3(bits & 1 ? h : -h, bits & 2 ? h : -h, bits & 4 ? h : -h);
  };
  for (int a = 0; a < 8; ++a)
    for (int axis = 1; axis < 8; axis <<= 1)
      if ((a & axis) == 0) view.DrawLine3D(corner(a), corner(a | axis), colour);
}

// Reduces a component toward 0 by the amount, never past it.
float TowardZero(float value, float amount) {
  return value > 0.0f ? std::max(value - amount, 0.0f) : std::min(value + amount, 0.0f);
}
}  // namespace

// --- The sweep ---

bool CSkaterBody::BuildSweepQuery(float dt, SweepQuery& out) {
  CSkater& s = m_skater;
  if (!s.IsSetUp()) return false;
  const bool following = IsFollowingRoute();
  Vector3 aim;
  if (following) {
    aim = RoutePoint(static_cast<size_t>(s.route.index));
    SteerToward(aim);
  }
  const Vector3 start = s.GetCentre();
  const Vector3 v = s.GetVelocity();
  Vector3 end = start + v * dt;
  if (following && (std::fabs(v.x) + std::fabs(v.y)) * dt > 0.01f) {
    const Vector3 toAim = Horizontal(aim - start);
    const float len2 = toAim.LengthSquared();
    if (len2 == 0.0f) {
      end = start + Vector3(0.0f, 0.0f, v.z * dt);  // already there: the committed move arrives
    } else {
      const float t = Horizontal(end - start).Dot(toAim) / len2;
      // Beyond the point the move stops at it: a long tick must not carry the skater past. The
      // height keeps the velocity's own fall, so the sphere presses onto the ground it rides
      // instead of skimming it at the route point's height.
      if (t >= 0.0f) end = start + toAim * std::min(t, 1.0f) + Vector3(0.0f, 0.0f, v.z * dt);
    }
  }
  if (!std::isfinite(end.x) || !std::isfinite(end.y) || !std::isfinite(end.z)) end = start;
  auto beam = std::make_unique<BeamInfo>(start, end, s.GetRadius());
  beam->result.Reset();
  beam->mode = QueryMode::kDetails;
  out = SweepQuery(std::move(beam));
  return true;
}

// --- Contact responses ---

bool CSkaterBody::RespondToContact(uint32_t kind) {
  m_hasContact = true;
  m_contactNormal = m_skater.GetContactNormal();
  if (kind == CollisionInfo::kStatic) {
    RespondToStatic();
  } else {
    RespondToObject(m_contactNormal);
  }
  return true;
}

void CSkaterBody::RespondToStatic() {
  CSkater& s = m_skater;
  const Vector3 n = m_contactNormal;
  const float restitution = s.GetRestitution();
  Vector3 v = s.GetVelocity();
  bool steered = false;
  if (IsFollowingRoute()) {
    const Vector3 d = Horizontal(RoutePoint(static_cast<size_t>(s.route.index)) - s.GetCentre());
    // The direction toward the route point inside the contact plane.
    Vector3 w(n.z * d.x, n.z * d.y, -(n.x * d.x + n.y * d.y));
    if (w.Normalize()) {
      v = w * v.Dot(w);
      if (v.Dot(d) < 0.0f) v = -v;
      steered = true;
    }
  }
  if (!steered) {
    const float vn = v.Dot(n);
    if (vn < 0.0f) v += n * (-vn * (1.0f + restitution));
  }
  // A skater that keeps failing to commit its move is pushed out harder, within a bound.
  const float push = std::min(static_cast<float>(m_contactSteps) * s.GetParams()[16], kMaxPushOut);
  v += n * push;
  s.SetVelocity(v);
  ApplyFriction(m_tickDt);
}

void CSkaterBody::ApplyFriction(float dt) {
  CSkater& s = m_skater;
  const Vector3 n = m_contactNormal;
  Vector3 drive = n.Cross(s.GetFrame().GetYAxis());
  if (!drive.Normalize()) return;
  Vector3 across = n.Cross(drive);
  if (!across.Normalize()) return;
  const ModeBlock block = Block(s.body.motionMode);
  Vector3 v = s.GetVelocity();
  const float along = v.Dot(drive), side = v.Dot(across);
  v += drive * (TowardZero(along, block.rollingFriction * dt) - along);
  v += across * (TowardZero(side, block.sideFriction * dt) - side);
  s.SetVelocity(v);
}

void CSkaterBody::RespondToObject(const Vector3& normal) {
  CSkater& s = m_skater;
  Vector3 n = normal;
  Vector3 v = s.GetVelocity();
  if (IsFollowingRoute()) {
    // The bounce keeps to the route: the part of the normal across the travel is dropped.
    const Vector3 p(-v.y, v.x, 0.0f);
    Vector3 bent = n - p * n.Dot(p);
    if (bent.Normalize()) n = bent;
  }
  const float vn = v.Dot(n);
  if (vn < 0.0f) v += n * (-vn * (1.0f + s.GetRestitution()));
  s.SetVelocity(v);
}

// --- Skaters meeting ---

void CSkaterBody::PlayIfNotPlaying(int entry) {
  CSkaterAnimation& anim = m_skater.GetAnimation();
  if (anim.GetCurrent() != entry) anim.Play(entry, false);
}

bool CSkaterBody::HandleSkaterCollision(CSkater& other) {
  CSkater& a = m_skater;
  // The other skater stops the move like any body does. Without the bounce a skater that lies on
  // another would press into it every tick, its fall speed growing without end - and a crash never
  // settles at such a speed.
  RespondToObject(a.GetContactNormal());
  if (IsFollowingRoute()) {
    const Vector3 d = Horizontal(other.GetCentre() - RoutePoint(static_cast<size_t>(a.route.index)));
    const float reach = a.GetRadius() + other.GetRadius();
    const int remaining = static_cast<int>(a.route.steps.size()) - 1 - a.route.index;
    if (d.LengthSquared() < reach * reach || remaining < a.GetParams().RouteEndSlowDownCount()) m_passPointOn = true;
  }
  auto busy = [](const CSkater& s) {
    return s.mind.state == CSkater::kInLine || s.mind.state == CSkater::kUsingFacility;
  };
  if (busy(a) || busy(other) || a.body.motionMode == CSkater::kCrashed) return true;
  CSkaterBody* otherBody = dynamic_cast<CSkaterBody*>(&other.GetMotion());
  const bool groundA = HasGroundContact();
  const bool groundB = otherBody != nullptr ? otherBody->HasGroundContact() : true;
  // Beside a fallen skater one on the ground only stumbles; one coming down from the air is
  // judged by the loser rules below.
  if (other.body.motionMode == CSkater::kCrashed && groundA) {
    PlayIfNotPlaying(CSkaterAnimation::kLandOffBalance);
    return true;
  }
  bool aLoses;
  if (groundA != groundB) {
    aLoses = !groundA;  // the airborne one loses
  } else if (a.IsPlayerControlled()) {
    aLoses = false;
  } else if (other.IsPlayerControlled()) {
    aLoses = true;
  } else {
    aLoses = ApproxSpeed() <= other.GetVelocity().ApproxLength();
  }
  CSkaterBody* loser = aLoses ? this : otherBody;
  CSkaterBody* winner = aLoses ? otherBody : this;
  CSkater& l = aLoses ? a : other;
  CSkater& o = aLoses ? other : a;
  if (loser != nullptr && l.body.motionMode == CSkater::kRolling) {
    if (l.body.forwardInput > 0.7f) {
      l.Crash(0.05f);
    } else if (o.body.forwardInput > 0.7f && static_cast<float>(plat::rand()) * kInvRandMax < 0.7f) {
      l.Crash(0.05f);
    } else if (loser->HasGroundContact()) {
      loser->PlayIfNotPlaying(CSkaterAnimation::kLandOffBalance);
    }
  }
  if (winner != nullptr && o.body.motionMode == CSkater::kRolling && winner->HasGroundContact()) {
    winner->PlayIfNotPlaying(CSkaterAnimation::kLandOffBalance);
  }
  return true;
}

// --- Board placement ---

Vector3 CSkaterBody::GroundUnder(const Vector3& local) const {
  const COrientation& frame = m_skater.GetFrame();
  // From the body's centre height at the contact point down to the bottom of the sphere.
  const Vector3 from = frame.LocalToWorldPoint(Vector3(local.x, local.y, std::max(local.z, 0.0f)));
  const Vector3 to = frame.LocalToWorldPoint(Vector3(local.x, local.y, -m_skater.GetRadius()));
  COctree* octree = GetWorldOctree();
  if (octree == nullptr) return frame.WorldToLocalPoint(to);
  RayInfo ray(from, to);
  CBoundedObject* hit = nullptr;
  const bool found = octree->RayQuery(ray, &hit, kStaticWorldMask, false, 1.0f);
  return frame.WorldToLocalPoint(found ? from + (to - from) * ray.result.time : to);
}

void CSkaterBody::PlaceBody() {
  CSkater& s = m_skater;
  const bool crashed = s.body.motionMode == CSkater::kCrashed;
  const Vector3 front = crashed ? s.body.crashFrontContact : s.body.frontContact;
  const Vector3 back = crashed ? s.body.crashBackContact : s.body.backContact;
  const Vector3 hf = GroundUnder(front), hb = GroundUnder(back);
  const float span = front.x - back.x;
  // Contact points at the same place along the board give no line: the body sits midway.
  const float t = std::fabs(span) > 1e-6f ? -back.x / span : 0.5f;
  m_boardPoint = hb + (hf - hb) * t;
  const float dx = hf.x - hb.x, dz = hf.z - hb.z;
  m_boardPitch = (dx == 0.0f && dz == 0.0f) ? 0.0f : std::atan2(dz, dx);
  CMeshInstance* instance = s.GetMeshInstance();
  if (instance == nullptr) return;
  COrientation local;
  MakeAxisRotation(local.axes, Vector3(0.0f, 1.0f, 0.0f), -m_boardPitch);
  local.position = m_boardPoint;
  COrientation placed = s.GetFrame().LocalToWorldOrientation(local);
  instance->SetTransform(&placed, true);
}

// --- Debug drawing ---

bool CSkaterBody::Render(CSceneDrawInterface* view) {
  if (view == nullptr) return true;
  m_skater.RenderBody(view);
  DrawDebug(*view);
  m_skater.RenderThought(view);
  return true;
}

void CSkaterBody::DrawDebug(CSceneDrawInterface& view) const {
  const CSkater& s = m_skater;
  const CVerezIvor* park = dynamic_cast<const CVerezIvor*>(GetGameWorld());
  if (park == nullptr) return;
  const Vector3 c = s.GetCentre();
  if (park->GetDebugFlag(kCollisionDebugFlag)) {
    uint32_t colour = 0xFF0000C8u;
    if (s.body.motionMode == CSkater::kCrashed) colour = (timeGetTime() / 50) % 2 == 0 ? 0xFFC80000u : 0xFFFF00FFu;
    view.DrawDebugSphere(c, s.GetRadius(), colour);
    if (HasGroundContact()) view.DrawLine3D(c, c + m_contactNormal * s.GetRadius(), 0xFFFFFF00u);
    if (const CSkatePathNode* node = FindNodeByID(s.mind.targetNodeId)) {
      DrawMarkerBox(view, node->GetPosition(), 0xFFFF8000u);
      DrawMarkerBox(view, s.body.targetPoint, 0xFFFFFF00u);
    }
  }
  if (park->GetDebugFlag(kRouteDebugFlag) && IsFollowingRoute()) {
    const Vector3 lift(0.0f, 0.0f, 0.1f);
    for (size_t i = static_cast<size_t>(s.route.index); i + 1 < s.route.steps.size(); ++i) {
      view.DrawLine3D(RoutePoint(i) + lift, RoutePoint(i + 1) + lift, 0xFFFF0000u);
    }
  }
}
