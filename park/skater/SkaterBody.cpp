// CSkaterBody: the route throttle, drive, sweep, orientation, crash and jump steps of a skater.
#include "park/skater/SkaterBody.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/math/MathUtil.h"
#include "core/math/TMatrix.h"
#include "core/data/TextCompare.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/grid/SkatePathNode.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterAnimator.h"
#include "physics/collision/BeamInfo.h"
#include "physics/collision/StaticCollisionPrimative.h"
#include "platform/system/Platform.h"

namespace {
constexpr float kPi = 3.14159265f;
constexpr float kInvRandMax = 1.0f / 32767.0f;
constexpr uint32_t kStaticWorldMask = 0x100000;

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
Vector3 Horizontal(const Vector3& v) { return Vector3(v.x, v.y, 0.0f); }
float ApproxOrOne(const Vector3& v) {
  const float a = v.ApproxLength();
  return a == 0.0f ? 1.0f : a;
}
// Turns the vector about the world's vertical by the angle (counter-clockwise seen from above).
Vector3 TurnAboutVertical(const Vector3& v, float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return Vector3(v.x * c - v.y * s, v.x * s + v.y * c, v.z);
}

std::unique_ptr<CSkaterMotion> MakeBody(CSkater& skater) { return std::make_unique<CSkaterBody>(skater); }
}  // namespace

void RegisterSkaterBody() { CSkater::SetBodyFactory(MakeBody, MakeSkaterAnimator); }

CSkaterBody::CSkaterBody(CSkater& skater) : m_skater(skater) {}

// --- Tick state of a saved game ---

namespace {
// Each grind point has its route step, and no route is longer than the skater record allows.
constexpr uint32_t kMaxGrindPoints = 1u << 20;

}  // namespace

// Version 1: flags (contact, moved, grind key, third key), contact normal, contact steps, air
// progress, tick length, grind entry speed, crouch time, board pitch and point, grind points.
void CSkaterBody::SaveTickState(std::vector<uint8_t>& out) const {
  out.push_back(1);
  out.push_back(static_cast<uint8_t>((m_hasContact ? 1 : 0) | (m_moved ? 2 : 0) | (m_grindKey ? 4 : 0) |
                                     (m_thirdKey ? 8 : 0)));
  le::PutVector3(out, m_contactNormal);
  le::PutU32(out, m_contactSteps);
  le::PutF32(out, m_airProgress);
  le::PutF32(out, m_tickDt);
  le::PutF32(out, m_grindEntrySpeed);
  le::PutF64(out, m_crouchTime);
  le::PutF32(out, m_boardPitch);
  le::PutVector3(out, m_boardPoint);
  le::PutU32(out, static_cast<uint32_t>(m_grindPoints.size()));
  for (const Vector3& p : m_grindPoints) le::PutVector3(out, p);
}

bool CSkaterBody::LoadTickState(CByteCursor& in) {
  uint8_t version = 0, flags = 0;
  uint32_t points = 0;
  Vector3 normal, boardPoint;
  uint32_t steps = 0;
  float air = 0.0f, tick = 0.0f, entry = 0.0f, pitch = 0.0f;
  double crouch = 0.0;
  if (!in.ReadU8(version) || version != 1 || !in.ReadU8(flags) || !in.ReadVector3(normal) || !in.ReadU32(steps) ||
      !in.ReadF32(air) || !in.ReadF32(tick) || !in.ReadF32(entry) || !in.ReadF64(crouch) || !in.ReadF32(pitch) ||
      !in.ReadVector3(boardPoint) || !in.ReadU32(points) || points > kMaxGrindPoints ||
      points > in.GetRemaining() / 12)
    return false;
  auto finite = [](const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); };
  if (!finite(normal) || !finite(boardPoint) || !std::isfinite(air) || !std::isfinite(tick) || !std::isfinite(entry) ||
      !std::isfinite(crouch) || !std::isfinite(pitch))
    return false;
  std::vector<Vector3> grind(points);
  for (Vector3& p : grind)
    if (!in.ReadVector3(p) || !finite(p)) return false;
  m_hasContact = (flags & 1) != 0;
  m_moved = (flags & 2) != 0;
  m_grindKey = (flags & 4) != 0;
  m_thirdKey = (flags & 8) != 0;
  m_contactNormal = normal;
  m_contactSteps = steps;
  m_airProgress = air;
  m_tickDt = tick;
  m_grindEntrySpeed = entry;
  m_crouchTime = crouch;
  m_boardPitch = pitch;
  m_boardPoint = boardPoint;
  m_grindPoints = std::move(grind);
  return true;
}

// --- Small questions ---

CSkaterBody::ModeBlock CSkaterBody::Block(uint32_t mode) const {
  const SkaterParams& p = m_skater.GetParams();
  const size_t base = SkaterParams::kWalkingBlock + 8 * std::min<uint32_t>(mode, 3);
  return ModeBlock{p[base], p[base + 1], p[base + 2], p[base + 3], p[base + 4], p[base + 5], p[base + 6], p[base + 7]};
}

bool CSkaterBody::IsGrinding() const { return m_skater.body.motionMode == CSkater::kGrinding; }
bool CSkaterBody::IsWalking() const { return m_skater.body.motionMode == CSkater::kWalking; }
float CSkaterBody::ApproxSpeed() const { return m_skater.GetVelocity().ApproxLength(); }
bool CSkaterBody::IsPlayer() const { return m_skater.IsPlayerControlled(); }

double CSkaterBody::Now() const {
  const CGameWorld* world = GetGameWorld();
  return world != nullptr ? world->GetWorldTime() : 0.0;
}

bool CSkaterBody::HasGroundContact() const { return m_skater.body.timeWithoutContact < m_skater.GetParams()[2]; }

bool CSkaterBody::IsFreshLanding() const {
  return HasGroundContact() && m_skater.body.timeOnGround < m_skater.GetParams()[3] && !IsGrinding();
}

bool CSkaterBody::IsFollowingRoute() const {
  const CSkater& s = m_skater;
  // A crashed skater slides where the crash threw it. Steered on toward its route point it can be
  // pressed into the side of a piece tick after tick, the push-out keeping it too fast to ever
  // get up; it takes its route again once it has decided anew.
  if (s.body.motionMode == CSkater::kCrashed) return false;
  return (s.route.mode == 1 || IsGrinding()) && s.route.index >= 0 &&
         static_cast<size_t>(s.route.index) < s.route.steps.size();
}

const CSkatePathNode* CSkaterBody::RouteNode(size_t i) const { return m_skater.GetRouteNode(i); }

bool CSkaterBody::HasLink(size_t i) const { return i < m_skater.route.steps.size() && m_skater.route.steps[i].hasLink; }

uint32_t CSkaterBody::LinkKind(size_t i) const { return HasLink(i) ? m_skater.route.steps[i].edge.kind : 0xFFFFFFFFu; }

// --- Route points ---

Vector3 CSkaterBody::RoutePoint(size_t i) const {
  const float radius = m_skater.GetParams()[SkaterParams::kRadius];
  if (i < m_grindPoints.size()) return m_grindPoints[i] + Vector3(0.0f, 0.0f, radius);
  const CSkatePathNode* node = RouteNode(i);
  if (node == nullptr) return m_skater.GetCentre();
  const Vector3 here = node->GetPosition();
  const float offset = m_skater.GetParams()[SkaterParams::kRoutePointOffset];
  const CSkatePathNode* next = RouteNode(i + 1);
  if (next != nullptr && LinkKind(i + 1) == kLinkSkate && here.z > next->GetPosition().z) {
    const Vector3 h = Horizontal(next->GetPosition() - here);
    return here + h * (offset / ApproxOrOne(h));  // just past the lip of a drop
  }
  const CSkatePathNode* previous = i > 0 ? RouteNode(i - 1) : nullptr;
  if (previous != nullptr && next != nullptr && LinkKind(i + 1) == kLinkAir) {
    const Vector3 h = Horizontal(here - previous->GetPosition());
    return here - h * (offset / ApproxOrOne(h));  // just short of the take-off
  }
  return here + Vector3(0.0f, 0.0f, radius);
}

void CSkaterBody::SteerToward(const Vector3& point) {
  m_skater.body.targetPoint = point;
  const Vector3 v = m_skater.GetVelocity();
  const Vector3 d = Horizontal(point - m_skater.GetCentre());
  if (d.LengthSquared() == 0.0f || (v.x == 0.0f && v.y == 0.0f)) return;
  float turn = std::atan2(d.y, d.x) - std::atan2(v.y, v.x);
  turn = std::fmod(turn, 2.0f * kPi);
  if (turn < 0.0f) turn += 2.0f * kPi;
  if (turn < 0.01f) return;
  // Only the travel turns; the body follows it in the alignment of the orient step.
  m_skater.SetVelocity(TurnAboutVertical(v, turn));
}

float CSkaterBody::SegmentProgress() const {
  const int32_t index = m_skater.route.index;
  if (!IsFollowingRoute() || index <= 0) return 0.0f;
  const CSkatePathNode* a = RouteNode(static_cast<size_t>(index - 1));
  const CSkatePathNode* b = RouteNode(static_cast<size_t>(index));
  if (a == nullptr || b == nullptr) return 0.0f;
  const Vector3 ab = b->GetPosition() - a->GetPosition();
  const float len2 = ab.LengthSquared();
  if (len2 == 0.0f) return 0.0f;
  return Clamp((m_skater.GetCentre() - a->GetPosition()).Dot(ab) / len2, 0.0f, 1.0f);
}

bool CSkaterBody::DropAhead() const {
  const size_t i = static_cast<size_t>(m_skater.route.index);
  const CSkatePathNode* here = RouteNode(i);
  const CSkatePathNode* next = RouteNode(i + 1);
  const CSkatePathNode* previous = i > 0 ? RouteNode(i - 1) : nullptr;
  if (here == nullptr || next == nullptr || previous == nullptr) return false;
  if (LinkKind(i) != kLinkSkate || LinkKind(i + 1) != kLinkSkate) return false;
  const float z = here->GetPosition().z;
  return z - next->GetPosition().z > 1.0f && std::fabs(z - previous->GetPosition().z) < 0.5f;
}

// --- FollowRoute ---

float CSkaterBody::RouteThrottle(float throttle) const {
  const size_t i = static_cast<size_t>(m_skater.route.index);
  if (HasGroundContact()) {
    if (DropAhead()) {
      throttle = (ApproxSpeed() > 0.2f && m_contactNormal.z > 0.7f) ? -1.0f : 0.5f;
    } else if (LinkKind(i) == kLinkSkateToTop) {
      const float p = SegmentProgress();
      throttle = (1.0f - p * p) * 0.6f + 0.4f;
    } else if (i > 0 && LinkKind(i - 1) == kLinkSkateToTop) {
      throttle = SegmentProgress() * 0.8f + 0.2f;
    }
  }
  const int count = m_skater.GetParams().RouteEndSlowDownCount();
  const int remaining = static_cast<int>(m_skater.route.steps.size()) - 1 - m_skater.route.index;
  if (count > 0 && remaining < count && !IsWalking()) {
    if (ApproxSpeed() <= 1.0f) {
      throttle = Clamp(static_cast<float>(remaining) / static_cast<float>(count), 0.0f, 1.0f);
      // With nothing left the slow-down would stop the skater short of its last point.
      if (remaining == 0) throttle = std::max(throttle, kFinalThrottleFloor);
    } else {
      throttle = -0.2f;
    }
  }
  return throttle;
}

void CSkaterBody::FollowRoute(float dt) {
  CSkater& s = m_skater;
  if (s.route.index < 0 || static_cast<size_t>(s.route.index) >= s.route.steps.size()) {
    s.SetState(CSkater::kDeciding, 0);
    s.DecideWhatToDo();
    return;
  }
  s.body.forwardInput = RouteThrottle(1.0f);
  if (LinkKind(static_cast<size_t>(s.route.index)) == kLinkAir && !HasGroundContact()) OrientOnAirLink();
  const CSkatePathNode* node = RouteNode(static_cast<size_t>(s.route.index));
  if (node != nullptr && node->IsPieceNode()) {
    if (CSkatableSection* section = GetPlacedSection(node->GetOwnerPieceId())) section->AddUsage(dt);
  }
}

void CSkaterBody::OrientOnAirLink() {
  CSkater& s = m_skater;
  const size_t i = static_cast<size_t>(s.route.index);
  const auto* node = dynamic_cast<const CObjectSkatePathNode*>(RouteNode(i));
  const CSkatePathNode* previous = i > 0 ? RouteNode(i - 1) : nullptr;
  if (node == nullptr || previous == nullptr) return;
  CSkatableSection* section = GetPlacedSection(node->GetOwnerPieceId());
  if (section == nullptr) return;
  const Vector3 ab = node->GetPosition() - previous->GetPosition();
  const float len2 = ab.LengthSquared();
  const float t = len2 > 0.0f ? Clamp((s.GetCentre() - previous->GetPosition()).Dot(ab) / len2, 0.0f, 1.0f) : 0.0f;
  // The node's frame in the world: the section's frame applied to the node's attach frame.
  const COrientation landing = section->GetWorldMatrix().LocalToWorldOrientation(
      COrientation(node->attachRotation, node->attachPosition));
  Quaternion target;
  target.SetFromMatrix(landing.axes);
  Quaternion q;
  Quaternion::Slerp(q, s.body.takeOffRotation, target, t);
  COrientation frame = s.GetFrame();
  q.ToMatrix(frame.axes);
  TMatrix spin;
  MakeAxisRotation(spin, frame.GetZAxis(), t * s.body.spinAngle);
  frame.axes = frame.axes * spin;
  s.SetFrame(frame);
}

// --- DriveStep ---

void CSkaterBody::DriveStep(float dt) {
  CSkater& s = m_skater;
  const COrientation& frame = s.GetFrame();
  const float throttle = s.body.forwardInput;
  ModeBlock block = Block(s.body.motionMode);
  Vector3 v = s.GetVelocity();
  if (HasGroundContact()) {
    if (IsPlayer() && s.body.motionMode == CSkater::kRolling) {
      block.maxSpeed *= 1.7f;
      block.drag *= 0.8f;
    }
    Vector3 direction = frame.GetYAxis().Cross(m_contactNormal);
    // A side axis along the normal gives no drive direction: the board's own forward takes over.
    if (!direction.Normalize() || std::fabs(direction.Dot(frame.GetXAxis())) < 0.9f) direction = frame.GetXAxis();
    const float f = direction.Dot(v);
    float c = std::max(block.acceleration * throttle * dt, -f);  // braking never reverses
    if (c > 0.0f && f + c > block.maxSpeed) c = std::max(block.maxSpeed - f, 0.0f);
    v += direction * c;
    v += v * (block.drag * dt);
  }
  if (IsFollowingRoute()) {
    // Only on the ground: in the air the speed is the flight's. Raised there, a skater that
    // reaches an air link's end still rising (its horizontal speed just zeroed) would be pushed
    // up at the route minimum every tick and climb out of the world.
    const float least = block.minRouteSpeed * throttle;
    const float speed = v.Length();
    if (HasGroundContact() && speed < least) v = speed == 0.0f ? frame.GetXAxis() * least : v * (least / speed);
    s.SetVelocity(v);
    return;
  }
  s.SetVelocity(v);
  Steer(dt);
}

void CSkaterBody::Steer(float dt) {
  CSkater& s = m_skater;
  const ModeBlock block = Block(s.body.motionMode);
  float& rate = s.body.turnRate;
  if (s.body.steerInput == 0.0f) {
    const float step = block.turnAcceleration * dt;
    rate = rate > 0.0f ? std::max(rate - step, 0.0f) : std::min(rate + step, 0.0f);
  } else {
    rate += block.turnAcceleration * s.body.steerInput * dt;
  }
  rate = Clamp(rate, -block.maxTurnRate, block.maxTurnRate);
  if (!HasGroundContact()) {
    s.body.spinAngle += dt * s.GetParams()[26] * rate;
    return;
  }
  // A positive rate turns right, clockwise seen from above.
  COrientation frame = s.GetFrame();
  TMatrix r;
  MakeAxisRotation(r, frame.GetZAxis(), -dt * rate);
  frame.axes = frame.axes * r;
  s.SetFrame(frame);
  s.SetVelocity(s.GetVelocity() * r);
}

// --- MoveStep ---

void CSkaterBody::MoveStep(float dt) {
  CSkater& s = m_skater;
  Vector3 v = s.GetVelocity();
  const float speedBefore = v.Length();
  v.z += dt * s.GetParams()[SkaterParams::kGravity];
  s.SetVelocity(v);
  m_tickDt = dt;
  const bool groundBefore = HasGroundContact();
  const Vector3 velocityBefore = v;
  m_hasContact = false;
  m_passPointOn = false;
  s.Move(GetWorldOctree(), dt, false, CActiveCollisionObject::kTopDepth, nullptr);
  // A skater held where it stands (pressed against another, wedged between pieces) neither fell
  // nor sped up this tick. Kept, the tick's fall and the contacts' push-outs would add up tick
  // after tick into a speed without bound.
  if (!m_moved) {
    const Vector3 held = s.GetVelocity();
    const float speed = held.Length();
    if (speed > speedBefore) s.SetVelocity(held * (speedBefore / speed));
  }
  if (m_hasContact) {
    m_skater.body.underfootObject = 0xFFFFFFFFu;
    if (const auto* primitive = dynamic_cast<const CStaticCollisionPrimative*>(s.GetLastHit())) {
      if (const auto* section = dynamic_cast<const CSkatableSection*>(primitive->GetOwner())) {
        m_skater.body.underfootObject = section->GetID();
      }
    }
  }
  if (m_moved) m_contactSteps = 0;
  if (IsFollowingRoute()) {
    const Vector3 d = Horizontal(RoutePoint(static_cast<size_t>(s.route.index)) - s.GetCentre());
    if (m_passPointOn || (m_moved && d.Length() < s.GetParams()[SkaterParams::kArrivalRadius])) Arrive();
  }
  m_moved = false;
  UpdateContactClock(dt, m_hasContact);
  const uint32_t mode = s.body.motionMode;
  if (!groundBefore && HasGroundContact() && (mode == CSkater::kRolling || mode == CSkater::kGrinding)) Land(velocityBefore);
}

void CSkaterBody::Land(const Vector3& velocityBefore) {
  CSkater& s = m_skater;
  const COrientation& frame = s.GetFrame();
  CSkater::LandingAngles angles;
  angles.body = AngleBetween(frame.GetZAxis(), m_contactNormal);
  // A board that came down straight along its travel has nothing to correct sideways.
  const Vector3 travel = s.GetVelocity();
  angles.travel = travel.LengthSquared() > 0.0f ? AngleBetween(travel, frame.GetXAxis()) : 0.0f;
  s.CheckLanding(velocityBefore.Dot(m_contactNormal), angles);
}

void CSkaterBody::Arrive() {
  CSkater& s = m_skater;
  if (!m_grindPoints.empty() || IsPlayer()) {
    ++s.route.index;  // the player's own grind path: nothing to reserve or use
    return;
  }
  const CSkatePathNode* node = RouteNode(static_cast<size_t>(s.route.index));
  if (s.mind.goal == CSkater::kGoalRest && s.mind.state == CSkater::kHeadingToGoal && node != nullptr &&
      node->GetNodeId() == s.mind.targetNodeId) {
    s.SetState(CSkater::kUsingFacility, 0);
    return;
  }
  s.AdvanceRoute();
}

void CSkaterBody::UpdateContactClock(float dt, bool contactNow) {
  CSkater::Body& b = m_skater.body;
  b.timeWithoutContact = contactNow ? 0.0f : b.timeWithoutContact + dt;
  CSkaterAnimation& anim = m_skater.GetAnimation();
  if (b.timeWithoutContact > 0.4f && anim.GetCategory(anim.GetCurrent()) == 1) {
    anim.Play(CSkaterAnimation::kOllie, false);  // rolled off an edge
  }
  b.timeOnGround = HasGroundContact() ? b.timeOnGround + dt : 0.0f;
  // The contact record travels with the saved skater.
  b.contactBlock[0] = m_hasContact ? 1u : 0u;
  std::memcpy(&b.contactBlock[1], &m_contactNormal, sizeof(Vector3));
}

// --- OrientStep ---

void CSkaterBody::OrientStep(float dt) {
  CSkater& s = m_skater;
  CSkaterAnimation& anim = s.GetAnimation();
  const bool doingTrick = !HasGroundContact() && s.body.airTime > 0.0f && s.body.trickFlag && anim.GetCurrent() >= 0 &&
                          anim.GetCategory(anim.GetCurrent()) != 1;
  const bool onAirLink = IsFollowingRoute() && LinkKind(static_cast<size_t>(s.route.index)) == kLinkAir;
  if (!HasGroundContact() && !IsFollowingRoute() && doingTrick) {
    OrientInAir();
  } else if (!onAirLink && s.GetVelocity().Length() > s.GetParams()[17]) {
    AlignToGround(dt);
  }
  TurnRoundOnSlope();
  anim.Step(dt);
}

void CSkaterBody::OrientInAir() {
  CSkater& s = m_skater;
  if (s.body.spinAngle == 0.0f && s.body.airTime > 0.0f) {
    m_airProgress = static_cast<float>((Now() - s.body.takeOffTime) / s.body.airTime);
  }
  if (!(m_airProgress < 4.0f)) return;
  const float t = Clamp(m_airProgress, 0.0f, 1.0f);
  TMatrix r0;
  s.body.takeOffRotation.ToMatrix(r0);
  const Vector3 x0 = r0.m[0], z0 = r0.m[2];
  Vector3 h(z0.y, -z0.x, 0.0f);
  if (x0.Dot(h) < 0.0f) h = -h;
  // The heading mirrored across h: the skater comes down facing back the way it went up.
  const float angle = AngleBetween(x0, h);
  TMatrix turn;
  MakeAxisRotation(turn, z0, 2.0f * angle);
  TMatrix r1 = r0 * turn;
  if (h.LengthSquared() > 0.0f && (r1.m[0].Dot(h) < x0.Dot(h) - 1e-3f)) {
    MakeAxisRotation(turn, z0, -2.0f * angle);
    r1 = r0 * turn;
  }
  Quaternion q1;
  q1.SetFromMatrix(r1);
  Quaternion q;
  Quaternion::Slerp(q, s.body.takeOffRotation, q1, t);
  COrientation frame = s.GetFrame();
  q.ToMatrix(frame.axes);
  MakeAxisRotation(turn, frame.GetZAxis(), s.body.spinAngle);
  frame.axes = frame.axes * turn;
  s.SetFrame(frame);
}

Vector3 CSkaterBody::PlayerAirGroundNormal() const {
  COctree* octree = GetWorldOctree();
  const Vector3 c = m_skater.GetCentre();
  if (octree == nullptr) return Vector3(0.0f, 0.0f, 1.0f);
  BeamInfo beam(c, c - Vector3(0.0f, 0.0f, 1.0f), m_skater.GetRadius());
  CBoundedObject* hit = nullptr;
  if (octree->AnyInBox(beam, &hit, kStaticWorldMask, true) && hit != nullptr) return beam.normal;
  return Vector3(0.0f, 0.0f, 1.0f);
}

void CSkaterBody::AlignToGround(float dt) {
  CSkater& s = m_skater;
  const SkaterParams& p = s.GetParams();
  const bool ground = HasGroundContact();
  Vector3 target(0.0f, 0.0f, 1.0f);
  if (ground && s.body.motionMode == CSkater::kRolling) target = m_contactNormal;
  if (!ground && IsPlayer()) target = PlayerAirGroundNormal();
  if (!target.Normalize()) return;
  COrientation frame = s.GetFrame();
  const Vector3 up = frame.GetZAxis();
  const float angle = AngleBetween(up, target);
  if (!(angle < p[4] || target.z > p[5])) return;
  float rate = IsPlayer() ? p[7] * (ground ? 1.0f : p[9]) : p[6];
  if (IsGrinding() && IsFollowingRoute()) rate *= p[8];
  const float step = rate * dt;
  // The frame the body turns toward: heading along the travel (the forward axis when hardly
  // moving) and standing on the target; a share of the way there per tick.
  Vector3 forward = s.GetVelocity().Length() < 0.1f ? frame.GetXAxis() : s.GetVelocity();
  forward = forward - target * forward.Dot(target);
  if (!forward.Normalize()) return;
  TMatrix aligned;
  aligned.m[0] = forward;
  aligned.m[1] = target.Cross(forward);
  aligned.m[2] = target;
  Quaternion from, to, blended;
  from.SetFromMatrix(frame.axes);
  to.SetFromMatrix(aligned);
  const float cosHalf = std::min(std::fabs(from.x * to.x + from.y * to.y + from.z * to.z + from.w * to.w), 1.0f);
  const float turn = 2.0f * std::acos(cosHalf);
  if (turn < step || turn == 0.0f) return;
  Quaternion::Slerp(blended, from, to, step / turn);
  blended.ToMatrix(frame.axes);
  frame.Orthonormalize();
  s.SetFrame(frame);
}

void CSkaterBody::TurnRoundOnSlope() {
  CSkater& s = m_skater;
  const COrientation& frame = s.GetFrame();
  if (!HasGroundContact() || frame.GetZAxis().z >= 0.8f) return;
  if (frame.GetXAxis().Dot(s.GetVelocity()) >= -0.2f) return;
  COrientation turned = frame;
  TMatrix r;
  MakeAxisRotation(r, frame.GetZAxis(), kPi);
  turned.axes = turned.axes * r;
  s.SetFrame(turned);
  s.GetAnimation().PlaySound(CSkaterAnimation::Sound::kChangeDirection);
}

// --- Crash and injury ---

bool CSkaterBody::CrashSettling(float dt) {
  CSkater& s = m_skater;
  CSkaterAnimation& anim = s.GetAnimation();
  const char* name = anim.GetDisplayName(anim.GetCurrent());
  const bool crashPlaying = name != nullptr && CompareNoCase(name, "crash", 5) == 0 &&
                            anim.GetTime() < anim.GetLength(anim.GetCurrent());
  if (ApproxSpeed() > s.GetParams()[18] || crashPlaying) {
    s.body.crashTimer = 0.0f;
    return false;
  }
  s.body.crashTimer += dt;
  return s.body.crashTimer > kCrashRecoverTime;
}

void CSkaterBody::CrashStep(float dt) {
  CSkater& s = m_skater;
  if (CrashSettling(dt)) {
    // Back on the board before deciding, or the next route would be skated in crashed mode.
    s.body.motionMode = CSkater::kRolling;
    s.SetState(CSkater::kDeciding, 0);
    s.DecideWhatToDo();
  }
  if (s.IsMarkedForRemoval()) return;
  DriveStep(dt);
  MoveStep(dt);
  OrientStep(dt);
}

void CSkaterBody::InjuredStep(float dt) {
  CSkater& s = m_skater;
  // The skater's own tick adds the state time.
  if (s.times.stateTime > 0.0f && s.needs.injury < 0.99f) s.SetState(CSkater::kDeciding, 0);
  OrientStep(dt);
}

// --- The tick ---

void CSkaterBody::RouteStep(float dt) {
  CSkater& s = m_skater;
  FollowRoute(dt);
  if (s.IsMarkedForRemoval()) return;
  DriveStep(dt);
  MoveStep(dt);
  OrientStep(dt);
}

void CSkaterBody::PlayerStep(float dt) {
  ReadControlAxes();
  PlayerGrindStep(dt);
  DriveStep(dt);
  MoveStep(dt);
  OrientStep(dt);
}

// --- Jumps ---

float CSkaterBody::TakeOffTime(float landingHeight) {
  CSkater& s = m_skater;
  const float g = s.GetParams()[SkaterParams::kGravity] * 0.5f;
  // Without gravity no flight ever lands: refuse rather than divide by zero.
  if (g == 0.0f || !std::isfinite(g)) {
    DebugPrintf("CSkaterBody: a take-off needs gravity\n");
    return 0.0f;
  }
  Vector3 v = s.GetVelocity();
  const float e = s.GetCentre().z - landingHeight;
  float q = v.z * v.z - 4.0f * g * e;
  if (q < 0.0f) {
    v.z = std::sqrt(std::fabs(4.0f * g * e));
    q = 0.0f;
    s.SetVelocity(v);
  }
  const float root = std::sqrt(q);
  const float t = std::max((root - v.z) / (2.0f * g), (-v.z - root) / (2.0f * g));
  s.body.timeWithoutContact = 10.0f;
  m_hasContact = false;
  s.body.airTime = t;
  m_airProgress = 0.0f;
  s.body.takeOffTime = static_cast<float>(Now());
  s.body.takeOffRotation.SetFromMatrix(s.GetFrame().GetMatrix());
  s.body.spinAngle = 0.0f;
  return t;
}

void CSkaterBody::JumpTo(const Vector3& point) {
  CSkater& s = m_skater;
  const float t = TakeOffTime(point.z + s.GetParams()[SkaterParams::kRadius]);
  if (!(t > 0.0f)) return;
  Vector3 d = Horizontal(point - s.GetCentre());
  const float distance = d.Length();
  const uint32_t mode = s.route.mode == 0 ? CSkater::kWalking : CSkater::kRolling;
  const float speed = distance > 0.0f ? std::min(distance / t, Block(mode).maxSpeed) : 0.0f;
  if (distance > 0.0f) d = d * (1.0f / distance);
  const Vector3 v = s.GetVelocity();
  s.SetVelocity(Vector3(d.x * speed, d.y * speed, v.z));
}

void CSkaterBody::PlaceOnGroundAt(const Vector3& point) {
  CSkater& s = m_skater;
  const float radius = s.GetRadius();
  Vector3 at = point;
  if (COctree* octree = GetWorldOctree()) {
    BeamInfo beam(point + Vector3(0.0f, 0.0f, 20.0f), point, radius);
    CBoundedObject* hit = nullptr;
    if (octree->AnyInBox(beam, &hit, kStaticWorldMask, true) && hit != nullptr) {
      // The sphere's centre where the sweep touched, a little above the ground.
      at = beam.start + (beam.end - beam.start) * beam.result.time + Vector3(0.0f, 0.0f, 0.1f);
    }
  }
  COrientation frame;
  frame.SetPosition(at);
  s.SetFrame(frame);
}
