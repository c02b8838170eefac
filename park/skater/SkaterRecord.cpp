// The skater record of the saved game: written at the newest version, read at any older one.
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "core/world/WorldAccess.h"
#include "park/world/VerezIvor.h"

#include "core/data/ByteCursor.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "park/grid/Grid.h"
#include "park/grid/SkatePathNode.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"

namespace {
// A route longer than this is no route a search could have made.
constexpr uint32_t kMaxRouteSteps = 1u << 20;
// The body a park makes: a sphere of a centimetre to ten metres (a skater's is 0.45), moving slower
// than a fall from fifty kilometres. Outside these the body is no skater's, and its sweeps can be
// too long or too fine for a float to measure.
constexpr float kMinRadius = 0.01f;
constexpr float kMaxRadius = 10.0f;
constexpr float kMaxSpeed = 1000.0f;

bool Finite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}
bool Finite(const Vector3& v) { return Finite({v.x, v.y, v.z}); }
template <size_t N>
bool Finite(const float (&values)[N]) {
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// Checked before it reaches the sphere: the sphere would quietly keep a radius it refuses.
bool BodyInRange(const Vector3& velocity, float radius, float restitution, float friction) {
  return Finite(velocity) && velocity.Length() <= kMaxSpeed && radius >= kMinRadius && radius <= kMaxRadius &&
         restitution >= 0.0f && restitution <= 1.0f && friction >= 0.0f && friction <= 1.0f;
}

bool ReadBool(CByteCursor& in, bool& v) {
  uint8_t b = 0;
  if (!in.ReadU8(b)) return false;
  v = b != 0;
  return true;
}
void PutFrame(std::vector<uint8_t>& out, const COrientation& frame) {
  for (int r = 0; r < 3; ++r) le::PutVector3(out, frame.GetMatrix().m[r]);
  le::PutVector3(out, frame.GetPosition());
}
bool ReadFrame(CByteCursor& in, COrientation& frame) {
  for (int r = 0; r < 3; ++r)
    if (!in.ReadVector3(frame.GetMatrix().m[r])) return false;
  return in.ReadVector3(frame.GetPosition());
}
bool FiniteFrame(const COrientation& frame) {
  for (int r = 0; r < 3; ++r)
    if (!Finite(frame.GetMatrix().m[r])) return false;
  return Finite(frame.GetPosition());
}

// The link that leads from one node to the next, found again among the graph's successors.
bool FindEdge(uint32_t fromId, uint32_t toId, PathEdgeInfo& edge) {
  CSkatePathNode* from = FindNodeByID(fromId);
  CSkatePathNode* to = FindNodeByID(toId);
  CVerezIvor* park = dynamic_cast<CVerezIvor*>(GetGameWorld());
  CGrid* grid = park != nullptr ? park->GetGrid() : nullptr;
  if (from == nullptr || to == nullptr || grid == nullptr) return false;
  // One list for every call: a loaded park asks this for each link step of every route.
  static SuccessorList successors;
  successors.clear();
  grid->GetSuccessors(from, successors);
  for (const GraphStep& s : successors) {
    if (s.node != to || s.edge == nullptr) continue;
    edge = *static_cast<const PathEdgeInfo*>(s.edge);
    return true;
  }
  return false;
}
}  // namespace

void CSkater::Save(std::vector<uint8_t>& out) const {
  le::PutU32(out, kRecordVersion);
  le::PutF32(out, times.decisionTime);
  le::PutU8(out, appearance.head);
  le::PutU8(out, appearance.body);
  le::PutU8(out, appearance.board);
  le::PutVector3(out, body.targetPoint);
  le::PutF32(out, body.restTurnTimer);
  le::PutF32(out, needs.tiredness);
  le::PutF64(out, times.timeSinceShopping);
  le::PutU8(out, mind.evicted ? 1 : 0);
  out.insert(out.end(), m_name, m_name + kNameSize);
  le::PutF32(out, needs.thirst);
  le::PutU32(out, body.carried[0]);
  le::PutU32(out, body.carried[1]);
  le::PutU32(out, GetID());
  PutFrame(out, GetOrientation());
  le::PutF32(out, body.lean);
  le::PutVector3(out, body.backContact);
  le::PutVector3(out, body.crashBackContact);
  le::PutU8(out, body.moved);
  le::PutF32(out, GetRestitution());
  le::PutF32(out, body.crashTimer);
  le::PutU32(out, static_cast<uint32_t>(body.animIndex));
  le::PutU32(out, mind.goal);
  le::PutF32(out, body.airTime);
  le::PutF32(out, GetFriction());
  le::PutVector3(out, body.frontContact);
  le::PutVector3(out, body.crashFrontContact);
  le::PutU32(out, route.grindSteps);
  const Quaternion& q = body.takeOffRotation;
  for (float f : {q.x, q.y, q.z, q.w}) le::PutF32(out, f);
  for (uint32_t w : body.contactBlock) le::PutU32(out, w);
  le::PutU32(out, mind.state);
  le::PutU32(out, mind.subState);
  le::PutU32(out, route.mode);
  le::PutU32(out, body.motionMode);
  le::PutU32(out, mind.targetNodeId);
  le::PutF32(out, body.turnRate);
  le::PutF32(out, body.forwardInput);
  le::PutF64(out, times.timeInPark);
  for (float f : {ability.skill, needs.mood, needs.money, needs.hunger, needs.injury, ability.shoppingFactor})
    le::PutF32(out, f);
  for (int c = 0; c < kCategories; ++c) {
    le::PutF32(out, ability.trickCountA[c]);
    le::PutF32(out, ability.trickCountB[c]);
    le::PutF32(out, ability.trickSkill[c]);
  }
  le::PutF32(out, ability.totalA);
  le::PutF32(out, ability.totalB);
  le::PutF32(out, needs.bladder);
  le::PutU32(out, static_cast<uint32_t>(route.index));
  le::PutF32(out, body.takeOffTime);
  le::PutF32(out, body.timeOnGround);
  le::PutF32(out, body.timeWithoutContact);
  le::PutU32(out, body.landingTakeOffWord);
  le::PutF32(out, body.animSpeed);
  le::PutF32(out, body.steerInput);
  le::PutVector3(out, GetVelocity());
  le::PutF32(out, GetRadius());
  le::PutF32(out, times.stateTime);
  le::PutU32(out, static_cast<uint32_t>(route.steps.size()));
  for (const RouteStep& step : route.steps) {
    le::PutU32(out, step.nodeId);
    // "No link" must not read back as the grid's own link (number 0).
    le::PutU32(out, step.hasLink ? step.linkNumber : kNone);
  }
  m_tricks.Save(out);
  m_thoughts.Save(out);
}

// The tick-state part of a skater (version 1): its saved id, the mind's and body's timers and
// flags the record lacks, the stuck watch, the trick history's next number, then the body's and
// the animation's own parts, each behind its length.
void CSkater::SaveTickState(std::vector<uint8_t>& out) const {
  le::PutU8(out, 1);
  le::PutU32(out, GetID());
  le::PutF32(out, times.decisionTimer);
  le::PutU8(out, static_cast<uint8_t>((mind.needWalk ? 1 : 0) | (body.trickFlag ? 2 : 0)));
  le::PutF32(out, body.spinAngle);
  le::PutF32(out, body.landingError);
  le::PutF32(out, body.lastPushTime);
  le::PutU32(out, body.currentTrick);
  le::PutU32(out, body.underfootObject);
  le::PutVector3(out, m_stuck.position);
  le::PutF32(out, m_stuck.timer);
  le::PutU32(out, static_cast<uint32_t>(m_stuck.rescues));
  le::PutU32(out, m_tricks.GetNextSequence());
  for (int part = 0; part < 2; ++part) {
    std::vector<uint8_t> bytes;
    if (part == 0) m_motion->SaveTickState(bytes);
    else m_animation->SaveTickState(bytes);
    le::PutU32(out, static_cast<uint32_t>(bytes.size()));
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
}

bool CSkater::LoadTickState(CByteCursor& in, uint32_t savedId) {
  uint8_t version = 0, flags = 0;
  uint32_t id = 0, rescues = 0, sequence = 0;
  if (!in.ReadU8(version) || version != 1 || !in.ReadU32(id) || id != savedId || !in.ReadF32(times.decisionTimer) ||
      !in.ReadU8(flags) || !in.ReadF32(body.spinAngle) || !in.ReadF32(body.landingError) ||
      !in.ReadF32(body.lastPushTime) || !in.ReadU32(body.currentTrick) || !in.ReadU32(body.underfootObject) ||
      !in.ReadVector3(m_stuck.position) || !in.ReadF32(m_stuck.timer) || !in.ReadU32(rescues) ||
      rescues > static_cast<uint32_t>(kMaxRescues) || !in.ReadU32(sequence) ||
      !Finite({times.decisionTimer, body.spinAngle, body.landingError, body.lastPushTime, m_stuck.timer}) ||
      !Finite(m_stuck.position))
    return false;
  mind.needWalk = (flags & 1) != 0;
  body.trickFlag = (flags & 2) != 0;
  m_stuck.rescues = static_cast<int>(rescues);
  m_tricks.SetNextSequence(sequence);
  // An empty part (written by a stand-in that keeps nothing) leaves the body or the animation as
  // it was made; a stand-in that keeps nothing reads nothing and passes over its part.
  for (int part = 0; part < 2; ++part) {
    uint32_t size = 0;
    if (!in.ReadU32(size) || size > in.GetRemaining()) return false;
    if (size == 0) continue;
    const size_t start = in.GetPosition();
    if (!(part == 0 ? m_motion->LoadTickState(in) : m_animation->LoadTickState(in))) return false;
    const size_t read = in.GetPosition() - start;
    if (read == 0) in.Skip(size);
    else if (read != size) return false;
  }
  return true;
}

bool CSkater::LoadLeading(CByteCursor& in, uint32_t version) {
  if (version >= 7 && !in.ReadF32(times.decisionTime)) return false;
  if (version >= 6 && !(in.ReadU8(appearance.head) && in.ReadU8(appearance.body) && in.ReadU8(appearance.board)))
    return false;
  if (version >= 5 && !(in.ReadVector3(body.targetPoint) && in.ReadF32(body.restTurnTimer))) return false;
  if (version >= 4 && !(in.ReadF32(needs.tiredness) && in.ReadF64(times.timeSinceShopping))) return false;
  if (version >= 3 && !ReadBool(in, mind.evicted)) return false;
  if (version >= 2) {
    if (!in.ReadBytes(m_name, kNameSize) || !in.ReadF32(needs.thirst)) return false;
    m_name[kNameSize - 1] = '\0';
  }
  if (version >= 1 && !(in.ReadU32(body.carried[0]) && in.ReadU32(body.carried[1]))) return false;
  return true;
}

bool CSkater::LoadRest(CByteCursor& in) {
  float restitution = 0.0f, friction = 0.0f, radius = 0.0f;
  uint32_t animIndex = 0;
  Vector3 velocity;
  Quaternion& q = body.takeOffRotation;
  bool ok = in.ReadF32(body.lean) && in.ReadVector3(body.backContact) && in.ReadVector3(body.crashBackContact) &&
            in.ReadU8(body.moved) && in.ReadF32(restitution) && in.ReadF32(body.crashTimer) &&
            in.ReadU32(animIndex) && in.ReadU32(mind.goal) && in.ReadF32(body.airTime) && in.ReadF32(friction) &&
            in.ReadVector3(body.frontContact) && in.ReadVector3(body.crashFrontContact) && in.ReadU32(route.grindSteps) &&
            in.ReadF32(q.x) && in.ReadF32(q.y) && in.ReadF32(q.z) && in.ReadF32(q.w);
  for (uint32_t& w : body.contactBlock) ok = ok && in.ReadU32(w);
  ok = ok && in.ReadU32(mind.state) && in.ReadU32(mind.subState) && in.ReadU32(route.mode) &&
       in.ReadU32(body.motionMode) && in.ReadU32(mind.targetNodeId) && in.ReadF32(body.turnRate) &&
       in.ReadF32(body.forwardInput) && in.ReadF64(times.timeInPark);
  for (float* f : {&ability.skill, &needs.mood, &needs.money, &needs.hunger, &needs.injury, &ability.shoppingFactor})
    ok = ok && in.ReadF32(*f);
  for (int c = 0; c < kCategories; ++c)
    ok = ok && in.ReadF32(ability.trickCountA[c]) && in.ReadF32(ability.trickCountB[c]) &&
         in.ReadF32(ability.trickSkill[c]);
  ok = ok && in.ReadF32(ability.totalA) && in.ReadF32(ability.totalB) && in.ReadF32(needs.bladder) &&
       in.ReadI32(route.index) && in.ReadF32(body.takeOffTime) && in.ReadF32(body.timeOnGround) &&
       in.ReadF32(body.timeWithoutContact) && in.ReadU32(body.landingTakeOffWord) && in.ReadF32(body.animSpeed) &&
       in.ReadF32(body.steerInput) && in.ReadVector3(velocity) && in.ReadF32(radius) && in.ReadF32(times.stateTime);
  uint32_t count = 0;
  if (!ok || !in.ReadU32(count) || count > kMaxRouteSteps || count > in.GetRemaining() / 8) return false;
  body.animIndex = static_cast<int32_t>(animIndex);
  route.steps.assign(count, RouteStep());
  for (RouteStep& step : route.steps) {
    uint32_t link = 0;
    if (!in.ReadU32(step.nodeId) || !in.ReadU32(link)) return false;
    step.hasLink = link != kNone;
    step.linkNumber = step.hasLink ? link : 0;
  }
  if (!m_tricks.Load(in) || !m_thoughts.Load(in)) return false;
  if (!BodyInRange(velocity, radius, restitution, friction) || !NumbersFinite()) {
    DebugPrintf("Skater: Record holds a body no park makes\n");
    return false;
  }
  SetVelocity(velocity);
  m_restitution = restitution;
  m_friction = friction;
  SetRadius(radius, nullptr);
  return true;
}

bool CSkater::NumbersFinite() const {
  const Quaternion& q = body.takeOffRotation;
  const bool timesFinite = Finite(
      {times.decisionTime, times.timeSinceShopping, times.timeInPark, times.stateTime, body.restTurnTimer});
  const bool motionFinite = Finite({body.lean, body.crashTimer, body.airTime, body.turnRate, body.forwardInput}) &&
                            Finite({body.takeOffTime, body.timeOnGround, body.timeWithoutContact, body.animSpeed}) &&
                            Finite({body.steerInput, q.x, q.y, q.z, q.w});
  const bool mindFinite = Finite({needs.tiredness, needs.thirst, needs.mood, needs.money, needs.hunger}) &&
                          Finite({needs.injury, needs.bladder, ability.skill, ability.shoppingFactor}) &&
                          Finite({ability.totalA, ability.totalB}) && Finite(ability.trickCountA) &&
                          Finite(ability.trickCountB) && Finite(ability.trickSkill);
  return timesFinite && motionFinite && mindFinite && Finite(body.targetPoint) && Finite(body.frontContact) &&
         Finite(body.backContact) && Finite(body.crashFrontContact) && Finite(body.crashBackContact);
}

bool CSkater::Load(const uint8_t* data, size_t size, size_t* consumed, uint32_t* savedId) {
  uint32_t id = 0;
  if (!ReadRecord(data, size, consumed, &id)) return false;
  ResolveRecord(id);
  if (savedId != nullptr) *savedId = id;
  return true;
}

bool CSkater::ReadRecord(const uint8_t* data, size_t size, size_t* consumed, uint32_t* savedId) {
  CByteCursor in(data, size);
  uint32_t version = 0, id = 0;
  COrientation frame;
  if (!in.ReadU32(version)) {
    DebugPrintf("Skater: Record cut short\n");
    return false;
  }
  if (version > kRecordVersion) {
    DebugPrintf("Skater: Unknown record version %u\n", version);
    return false;
  }
  if (!LoadLeading(in, version) || !in.ReadU32(id) || !ReadFrame(in, frame)) {
    DebugPrintf("Skater: Record cut short\n");
    return false;
  }
  if (!FiniteFrame(frame)) {
    DebugPrintf("Skater: Record holds a frame no park makes\n");
    return false;
  }
  LoadBody(frame, nullptr);
  PickAppearance(false);
  if (!LoadRest(in)) {
    DebugPrintf("Skater: Record cut short or broken\n");
    return false;
  }
  mind.reservedNodeId = kNone;
  if (consumed != nullptr) *consumed = in.GetPosition();
  if (savedId != nullptr) *savedId = id;
  return true;
}

void CSkater::ResolveRecord(uint32_t savedId, const std::function<const PathEdgeInfo*(uint32_t)>& linkByNumber) {
  // The record has no room for the reserved node, but a skater only ever reserves its target, and
  // the nodes keep their reservations: a target that names this skater is its reservation.
  mind.reservedNodeId = kNone;
  const CSkatePathNode* target = FindNodeByID(mind.targetNodeId);
  if (target != nullptr && target->GetReservingSkaterId() == savedId) mind.reservedNodeId = mind.targetNodeId;
  for (size_t i = 1; i < route.steps.size(); ++i) {
    RouteStep& step = route.steps[i];
    if (!step.hasLink) continue;
    if (const PathEdgeInfo* known = linkByNumber ? linkByNumber(step.linkNumber) : nullptr)
      step.edge = *known;
    else if (!FindEdge(route.steps[i - 1].nodeId, step.nodeId, step.edge))
      step.edge = PathEdgeInfo{0.2f, kLinkSkate, 0};
  }
}
