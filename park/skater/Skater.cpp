#include "park/skater/Skater.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/data/TextCompare.h"
#include "park/grid/Grid.h"
#include "park/grid/SkatePathNode.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterMotion.h"
#include "park/skater/SkaterStandInAnimation.h"
#include "park/skater/SkaterStandInMotion.h"
#include "park/world/VerezIvor.h"
#include "physics/collision/CollisionFlags.h"
#include "platform/system/Platform.h"
#include "render/view/RenderView.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {
constexpr float kInvRandMax = 1.0f / 32767.0f;

CSkater::MotionMaker g_makeMotion = nullptr;
CSkater::AnimationMaker g_makeAnimation = nullptr;

ShadedMesh* WorldBodyMesh() { return ShadedMesh::FromResource(GetWorldResourceTable(), CSkater::kBodyMeshName); }
CSkater::BodyMeshSource g_bodyMesh = &WorldBodyMesh;

// A texture-choice record of the body mesh: which slot it drives and the textures it offers.
struct TextureChoice {
  char name[65] = {};
  uint32_t slot = 0;
  std::vector<uint32_t> indices;
};

bool ReadTextureChoice(const AttachPoint& point, TextureChoice& out) {
  constexpr uint32_t kHeader = 64 + 12;
  if (point.type != kAttachTextureList || point.GetLength() < kHeader || point.GetData() == nullptr) return false;
  std::memcpy(out.name, point.GetData(), 64);
  uint32_t count = 0;
  std::memcpy(&count, point.GetData() + 64, 4);
  std::memcpy(&out.slot, point.GetData() + 68, 4);
  // Indices past the record's bytes are not there to read.
  count = std::min(count, (point.GetLength() - kHeader) / 4);
  out.indices.resize(count);
  if (count > 0) std::memcpy(out.indices.data(), point.GetData() + kHeader, count * 4);
  return true;
}

float Uniform() { return static_cast<float>(plat::rand()) * kInvRandMax; }
float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
float Clamp01(float v) { return Clamp(v, 0.0f, 1.0f); }
bool KeyHeld(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }
}  // namespace

std::vector<CSkater*>& GetSkaterList() {
  static std::vector<CSkater*> list;
  return list;
}

void CSkater::SetBodyMeshSource(BodyMeshSource source) { g_bodyMesh = source != nullptr ? source : &WorldBodyMesh; }

void CSkater::SetBodyFactory(MotionMaker motion, AnimationMaker animation) {
  g_makeMotion = motion;
  g_makeAnimation = animation;
}

float CSkater::Gauss(float mean, float sigma) {
  const float u1 = Uniform();
  const float u2 = Uniform();
  if (u1 == 0.0f || u2 == 0.0f) return 0.0f;
  return mean + sigma * std::sqrt(-2.0f * std::log(u1)) * std::cos(6.2831853f * u2);
}

CSkater::CSkater(ForLoading) : m_tricks(0) {
  CGameObject::SetFlags(kNetworked | kLocalUpdate);
  m_motion = g_makeMotion != nullptr ? g_makeMotion(*this) : std::make_unique<CSkaterStandInMotion>(*this);
  m_animation =
      g_makeAnimation != nullptr ? g_makeAnimation(*this) : std::make_unique<CSkaterStandInAnimation>(*this);
  SetState(kDeciding, 0);
  mind.goal = kGoalNone;
}

// The draws keep their order: the trick history's first number, then abilities and needs.
CSkater::CSkater() : CSkater(ForLoading{}) {
  m_tricks.SetNextSequence(static_cast<uint32_t>(plat::rand()));
  ability.skill = Clamp01(Gauss(0.5f, 0.25f));
  ability.shoppingFactor = Clamp(Gauss(0.4f, 0.2f), 0.0f, 0.74f);
  for (int category : {3, 5, 4, 2}) ability.trickSkill[category] = std::exp(-4.0f * Uniform());
  needs.hunger = Uniform() * 0.4f;
  needs.thirst = Uniform() * 0.4f;
  needs.bladder = Uniform() * 0.4f;
  needs.tiredness = Uniform() * 0.4f;
}

CSkater::~CSkater() {
  ReleaseReservedNode();
  if (!m_listed) return;
  std::vector<CSkater*>& list = GetSkaterList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void CSkater::Init(bool created) {
  if (m_listed) return;
  GetSkaterList().push_back(this);
  m_listed = true;
}

CVerezIvor* CSkater::GetPark() const { return dynamic_cast<CVerezIvor*>(GetGameWorld()); }

// --- Set-up ---

void CSkater::LoadBody(const COrientation& frame, const SkaterParams* params) {
  if (params != nullptr) m_params = *params;
  float rows[12];
  for (int r = 0; r < 3; ++r) {
    const Vector3& axis = frame.GetMatrix().m[r];
    rows[r * 3] = axis.x;
    rows[r * 3 + 1] = axis.y;
    rows[r * 3 + 2] = axis.z;
  }
  rows[9] = frame.GetPosition().x;
  rows[10] = frame.GetPosition().y;
  rows[11] = frame.GetPosition().z;
  ShadedMesh* mesh = g_bodyMesh();
  Setup(rows, Vector3(0.0f, 0.0f, 0.0f), m_params[SkaterParams::kRadius], mesh, 0.0f, 0.0f);
  AddBoundFlags(CollisionFlags::kAsksCanCollide);
  CreateAttachObjects(GetMeshInstance());
  ReadContactPoints(mesh);
  body.animSpeed = 1.0f;
  m_animation->Play(CSkaterAnimation::kCoast, true);
  m_collisionInfo.object = this;
  m_collisionInfo.owner = this;
  std::vector<const CollisionInfo*>& infos = ExtraInfos();
  if (std::find(infos.begin(), infos.end(), &m_collisionInfo) == infos.end()) infos.push_back(&m_collisionInfo);
  m_stuck.position = frame.GetPosition();
}

void CSkater::ReadContactPoints(const ShadedMesh* mesh) {
  // The crash words contain the plain ones, so they are looked for first.
  static const char* const kWords[4] = {"crashfrontcontact", "crashbackcontact", "frontcontact", "backcontact"};
  Vector3* const targets[4] = {&body.crashFrontContact, &body.crashBackContact, &body.frontContact,
                               &body.backContact};
  bool found[4] = {};
  if (mesh != nullptr) {
    for (const AttachPoint& point : mesh->attachPoints) {
      if (point.type != kAttachNamedPoint || point.GetData() == nullptr || point.GetLength() == 0) continue;
      const std::string text(reinterpret_cast<const char*>(point.GetData()),
                             strnlen(reinterpret_cast<const char*>(point.GetData()), point.GetLength()));
      for (int w = 0; w < 4; ++w) {
        if (FindSubstringNoCase(text.c_str(), kWords[w]) == nullptr) continue;
        *targets[w] = point.transform.GetPosition();
        found[w] = true;
        break;
      }
    }
  }
  // A body needs two distinct points to stand between: a board's length about the feet stands in
  // for what the mesh does not give.
  const float r = m_params[SkaterParams::kRadius];
  if (!found[2] || !found[3] || body.frontContact == body.backContact) {
    body.frontContact = Vector3(0.4f, 0.0f, -r);
    body.backContact = Vector3(-0.4f, 0.0f, -r);
  }
  if (!found[0] || !found[1] || body.crashFrontContact == body.crashBackContact) {
    body.crashFrontContact = body.frontContact;
    body.crashBackContact = body.backContact;
  }
}

void CSkater::PickAppearance(bool randomise) {
  CMeshInstance* instance = GetMeshInstance();
  ShadedMesh* mesh = instance != nullptr ? instance->GetMesh() : nullptr;
  if (mesh == nullptr) return;
  int shared = -1;  // head and body share one draw, made for whichever record comes first
  for (const AttachPoint& point : mesh->attachPoints) {
    TextureChoice choice;
    if (!ReadTextureChoice(point, choice) || choice.indices.empty()) continue;
    const uint32_t n = static_cast<uint32_t>(choice.indices.size());
    const bool head = EqualNoCase(choice.name, "Multitexture_skaterHEAD");
    const bool torso = EqualNoCase(choice.name, "Multitexture_skaterBODY");
    const bool board = EqualNoCase(choice.name, "Multitexture_skateboards");
    if (!head && !torso && !board) continue;
    uint8_t& stored = head ? appearance.head : (torso ? appearance.body : appearance.board);
    if (randomise) {
      if (board) {
        stored = static_cast<uint8_t>(static_cast<uint32_t>(plat::rand()) % n);
      } else {
        if (shared < 0) shared = static_cast<int>(static_cast<uint32_t>(plat::rand()) % n);
        stored = static_cast<uint8_t>(std::min(static_cast<uint32_t>(shared), n - 1));
      }
    }
    // A saved index beyond this mesh's choices shows the last one.
    const uint32_t texture = choice.indices[std::min<uint32_t>(stored, n - 1)];
    ShadedMesh* owner = mesh->textureOwner;
    if (texture < owner->textures.size() && owner->textures[texture] == nullptr) owner->LoadTextures(true);
    instance->SetTexture(choice.slot, texture < owner->textures.size() ? owner->textures[texture] : nullptr);
  }
}

void CSkater::SetName(const char* name) {
  std::strncpy(m_name, name != nullptr ? name : "", kNameSize - 1);
  m_name[kNameSize - 1] = '\0';
}

// --- Mind ---

void CSkater::SetState(uint32_t state, uint32_t subState) {
  // The restroom hides the skater; whatever ends the visit (service, eviction, the player taking
  // over) shows it again.
  if (mind.state == kUsingFacility && state != kUsingFacility) AddBoundFlags(0x200);
  mind.state = state;
  mind.subState = subState;
  times.stateTime = 0.0f;
}

bool CSkater::IsPlayerControlled() const {
  const CVerezIvor* park = GetPark();
  return park != nullptr && GetID() != 0 && park->GetPlayerSkaterId() == GetID();
}

void CSkater::ResetForControl() {
  body.steerInput = body.forwardInput = 0.0f;
  route.mode = 0;
  body.motionMode = kRolling;
  SetState(kDeciding, 0);
  mind.goal = kGoalNone;
  route.index = -1;
  m_animation->Play(CSkaterAnimation::kCoast, true);
  mind.needWalk = false;
}

void CSkater::Update(float dt) {
  UpdateAttachObjects(dt);
  UpdateDebugKeys();
  m_animation->UpdateRollingSound(dt);
  if (!m_frozen) {
    if (IsPlayerControlled()) {
      m_motion->PlayerStep(dt);
    } else {
      ThinkTick(dt);
      if (IsMarkedForRemoval()) return;
      const CVerezIvor* park = GetPark();
      DriftNeeds(park != nullptr ? park->GetClock().ScaleToSim(dt) : dt);
    }
    CheckWorldBounds();
  }
  m_animation->Advance(dt, body.animSpeed);
  m_motion->PlaceBody();
}

bool CSkater::IsDoingTrick() const { return m_animation != nullptr && m_animation->IsDoingTrick(); }

void CSkater::SetCameraAlpha(float alpha) {
  if (CMeshInstance* instance = GetMeshInstance()) instance->SetAlpha(alpha, true);
}

bool CSkater::IsMovingAbout() const {
  const uint32_t s = mind.state;
  return body.motionMode != kCrashed && s != kInLine && s != kUsingFacility && s != kCrashing && s != kInjured &&
         s != kResting;
}

bool CSkater::CanCollideWith(CCollisionObject* other) {
  const auto* skater = dynamic_cast<const CSkater*>(other);
  if (skater == nullptr || !skater->IsSetUp() || !IsSetUp()) return true;
  if (!IsMovingAbout() || !skater->IsMovingAbout()) return false;
  const float reach = GetRadius() + skater->GetRadius();
  return (GetCentre() - skater->GetCentre()).LengthSquared() >= reach * reach;
}

void CSkater::UpdateDebugKeys() {
  if (!AreDebugKeysEnabled()) return;
  const bool chord = KeyHeld(VK_CONTROL) && KeyHeld(VK_SHIFT);
  const bool z = chord && KeyHeld('Z'), x = chord && KeyHeld('X'), c = chord && KeyHeld('C');
  const bool v = chord && KeyHeld('V');
  const bool any = z || x || c || v;
  if (!any) m_freezeKeyLatched = false;
  if (!any || m_freezeKeyLatched) return;
  m_freezeKeyLatched = true;
  if (z) {
    m_frozen = !m_frozen;
    DebugPrintf(m_frozen ? "Skater Frozen!\n" : "Skater Un-Frozen!\n");
    return;
  }
  if (!m_frozen) return;
  const uint32_t n = CSkaterAnimation::kEntryCount;
  if (x) body.animIndex = static_cast<int32_t>((static_cast<uint32_t>(body.animIndex) + 1u) % n);
  if (c) body.animIndex = static_cast<int32_t>((static_cast<uint32_t>(body.animIndex) + n - 1u) % n);
  if (body.animIndex == -1) return;
  m_animation->Play(body.animIndex, false);
  DebugPrintf("Animation: %s\n", m_animation->GetDisplayName(body.animIndex));
}

void CSkater::RenderThought(CSceneDrawInterface* view) const {
  auto* renderView = dynamic_cast<CRenderView*>(view);
  const CGameWorld* world = GetGameWorld();
  CResourceTable* table = world != nullptr ? world->GetResourceTable() : nullptr;
  CMeshInstance* instance = GetMeshInstance();
  if (renderView == nullptr || table == nullptr || IsPlayerControlled()) return;
  // Above the head: the top of the drawn body, or of the sphere without one.
  const Vector3& c = GetCentre();
  Vector3 head(c.x, c.y, c.z + GetRadius());
  if (instance != nullptr) {
    Box bounds;
    instance->GetWorldBounds(bounds);
    head.z = std::max(head.z, bounds.max.z);
  }
  m_thoughts.DrawBubble(*renderView, head, *table);
}

void CSkater::CheckWorldBounds() {
  CGameWorld* world = GetGameWorld();
  if (world == nullptr || world->GetOctree().GetRoot() == nullptr) return;
  const Vector3& c = GetCentre();
  const float r = GetRadius();
  const Box box(Vector3(c.x - r, c.y - r, c.z - r), Vector3(c.x + r, c.y + r, c.z + r));
  if (world->GetOctree().GetRootBox().ContainsBox(box)) return;
  DebugPrintf("Skater is outside world bounds.\n");
  Remove(box.max.z > world->GetOctree().GetRootBox().max.z ? Departure::kAboveWorld : Departure::kOutOfWorld);
}

void CSkater::ThinkTick(float dt) {
  // A state entered during this tick starts its clock at 0 for the next one, so that the state's
  // first tick can be told by a state time of 0.
  const uint32_t entered = mind.state;
  times.decisionTime += dt;
  m_thoughts.AgeThoughts(dt);
  body.steerInput = body.forwardInput = 0.0f;
  switch (mind.state) {
    case kDeciding:
      DecideWhatToDo();
      break;
    case kSkating:
    case kHeadingToGoal:
      if (CheckRouteNodes()) break;
      RunStuckWatch(dt);
      if (IsMarkedForRemoval()) return;
      m_motion->RouteStep(dt);
      if (mind.goal == kGoalLeave && times.decisionTime > 2.0f && mind.state != kDeciding) {
        SetState(kDeciding, 0);
        DecideWhatToDo();
      }
      break;
    case kInLine: {
      // The queue place ahead frees when the skater before moves on.
      CSkatePathNode* ahead = GetRouteNode(static_cast<size_t>(route.index + 1));
      if (route.index < 0 || ahead == nullptr) {
        SetState(kDeciding, 0);
      } else if (TakeQueuePlaceAhead(ahead)) {
        SetState(kHeadingToGoal, 0);
        AdvanceRoute();
      }
      break;
    }
    case kUsingFacility:
      UseFacilityStep(dt);
      if (mind.state == kSkating) CheckRouteNodes();
      return;  // the step keeps its own state time
    case kCrashing:
      m_motion->CrashStep(dt);
      break;
    case kInjured:
      m_motion->InjuredStep(dt);
      break;
    case kResting:
      m_motion->OrientStep(dt);
      break;
    default:
      SetState(kDeciding, 0);
      break;
  }
  if (mind.state == entered) {
    times.stateTime += dt;
  } else if (mind.state == kSkating || mind.state == kHeadingToGoal) {
    // A route taken up again after a wait may run over a piece picked up meanwhile.
    CheckRouteNodes();
  }
}

void CSkater::RunStuckWatch(float dt) {
  const Vector3 here = GetCentre();
  const Vector3 d = here - m_stuck.position;
  if (Vector3(std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)).ApproxLength() > m_params[SkaterParams::kStuckDistance]) {
    m_stuck.position = here;
    m_stuck.timer = 0.0f;
    m_stuck.rescues = 0;
    return;
  }
  m_stuck.timer += dt;
  if (m_stuck.timer >= m_params[SkaterParams::kStuckTime]) RescueStuck();
}

void CSkater::RescueStuck() {
  // A rescue that does not lead to progress is tried a few times, then the skater gives up.
  if (!IsFollowingRoute() || GetCurrentStep() == nullptr || ++m_stuck.rescues > kMaxRescues) {
    Remove(Departure::kStuck);
    return;
  }
  DebugPrintf("Skater Stuck! Teleporting to next Path Node!\n");
  ++GetSkaterTally().teleports;
  m_motion->PlaceOnGroundAt(m_motion->RoutePoint(static_cast<size_t>(route.index)));
  m_stuck.position = GetCentre();
  m_stuck.timer = 0.0f;
}

void CSkater::DriftNeeds(float simDt) {
  if (!std::isfinite(simDt) || simDt <= 0.0f) return;
  if (CVerezIvor* park = GetPark()) {
    ParkState& state = park->GetParkState();
    const double a = simDt / (CSimClock::GetHoursPerDay() * 3600.0) * state.admissionFee;
    state.moneyFraction += a;
    state.earnedFromAdmission += a;
  }
  times.timeInPark += simDt;
  needs.bladder = Clamp01(needs.bladder + simDt * 7.716049e-6f);
  needs.injury = Clamp01(needs.injury - simDt * 3.4722223e-6f);
  if (mind.goal == kGoalRest && mind.state == kUsingFacility) {
    needs.tiredness = Clamp01(needs.tiredness - simDt * 0.00018518518f);
  } else {
    needs.tiredness = Clamp01(needs.tiredness + simDt * 1.3888889e-5f);
    needs.hunger = Clamp01(needs.hunger + simDt * 5.787037e-6f);
    needs.thirst = Clamp01(needs.thirst + simDt * 1.1574074e-5f);
  }
  times.timeSinceShopping += simDt;
}

void CSkater::Remove(Departure why) {
  ReleaseReservedNode();
  if (IsMarkedForRemoval()) return;
  MarkForRemoval();
  ++GetSkaterTally().departures[static_cast<int>(why)];
  // Counted once, where the skater leaves; clearing the world for a load is no exit.
  if (CVerezIvor* park = GetPark()) ++park->GetParkState().skatersExited;
}

float CSkater::GetHappiness() const {
  return 1.0f - (needs.mood + needs.injury + needs.bladder + needs.thirst + needs.hunger) * 0.2f;
}

float CSkater::GetAverageSkill() const {
  return (ability.trickSkill[2] + ability.trickSkill[3] + ability.trickSkill[4]) * 0.33333334f;
}

PathSkills CSkater::GetPathSkills() const {
  PathSkills s;
  s.ollie = ability.trickSkill[2];
  s.air = ability.trickSkill[3];
  s.grind = ability.trickSkill[4];
  s.skating = ability.skill;
  return s;
}

// --- Reservations ---

bool CSkater::ReserveNode(CSkatePathNode* node) {
  if (node == nullptr) return false;
  const uint32_t holder = node->GetReservingSkaterId();
  if (holder != kNone && holder != GetID()) {
    // A holder that has left the park no longer holds anything.
    CGameWorld* world = GetGameWorld();
    CSkater* other = world != nullptr ? dynamic_cast<CSkater*>(world->GetObjectByID(holder)) : nullptr;
    if (other != nullptr && other->mind.reservedNodeId == node->GetNodeId()) return false;
  }
  if (mind.reservedNodeId != node->GetNodeId()) ReleaseReservedNode();
  node->SetReservingSkaterId(GetID());
  mind.reservedNodeId = node->GetNodeId();
  // The target is always the reserved node, which lets a saved game give the reservation back.
  mind.targetNodeId = node->GetNodeId();
  return true;
}

void CSkater::ReleaseReservedNode() {
  if (mind.reservedNodeId == kNone) return;
  CSkatePathNode* node = FindNodeByID(mind.reservedNodeId);
  if (node != nullptr && node->GetReservingSkaterId() == GetID()) node->SetReservingSkaterId(kNone);
  mind.reservedNodeId = kNone;
}

void CSkater::ReleaseReservedNode(uint32_t nodeId) {
  if (nodeId == mind.reservedNodeId) mind.reservedNodeId = kNone;
}

// --- Route ---

namespace {
// The number the saved game knows a piece link by; 0 for the grid's own steps.
uint32_t LinkNumberOf(const CSkatePathNode* to, const void* edge) {
  if (to == nullptr || !to->IsPieceNode()) return 0;
  const CSkatableSection* section = GetPlacedSection(to->GetOwnerPieceId());
  if (section == nullptr) return 0;
  for (const SectionLink& link : section->GetPathLinks())
    if (&link.edge == edge) return link.number;
  return 0;
}
}  // namespace

CSkater::RouteStep CSkater::MakeStep(const GraphStep& s) {
  auto* node = static_cast<CSkatePathNode*>(s.node);
  RouteStep step;
  step.nodeId = node->GetNodeId();
  if (s.edge != nullptr) {
    step.hasLink = true;
    step.edge = *static_cast<const PathEdgeInfo*>(s.edge);
    step.linkNumber = LinkNumberOf(node, s.edge);
  }
  return step;
}

void CSkater::AppendPath(const GraphPath& goalFirst, std::vector<RouteStep>& steps) {
  if (goalFirst.empty()) return;
  for (auto it = goalFirst.rbegin() + 1; it != goalFirst.rend(); ++it) steps.push_back(MakeStep(*it));
}

void CSkater::SetRouteFromPath(const GraphPath& goalFirst, CSkatePathNode* startIfEmpty) {
  route.steps.clear();
  for (auto it = goalFirst.rbegin(); it != goalFirst.rend(); ++it) route.steps.push_back(MakeStep(*it));
  if (route.steps.empty() && startIfEmpty != nullptr) {
    RouteStep step;
    step.nodeId = startIfEmpty->GetNodeId();
    route.steps.push_back(step);
  }
}

const CSkater::RouteStep* CSkater::GetCurrentStep() const {
  if (route.index < 0 || static_cast<size_t>(route.index) >= route.steps.size()) return nullptr;
  return &route.steps[static_cast<size_t>(route.index)];
}

CSkatePathNode* CSkater::GetRouteNode(size_t i) const {
  return i < route.steps.size() ? FindNodeByID(route.steps[i].nodeId) : nullptr;
}

void CSkater::AimAtFirstRoutePoint() {
  route.mode = 1;
  route.index = 0;
  if (!route.steps.empty()) m_motion->SteerToward(m_motion->RoutePoint(0));
}

bool CSkater::CheckRouteNodes() {
  if (route.index < 0) return false;
  for (size_t i = static_cast<size_t>(route.index); i < route.steps.size(); ++i) {
    if (FindNodeByID(route.steps[i].nodeId) != nullptr) continue;
    // A piece under the route was picked up, sold or destroyed: plan afresh from here.
    route.steps.clear();
    route.index = -1;
    route.mode = 0;
    SetState(kDeciding, 0);
    return true;
  }
  return false;
}
