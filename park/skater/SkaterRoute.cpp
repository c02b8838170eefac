// A skater's route steps (what each link ahead asks of the body), its trick choice and practice,
// crashes and landings, and the short stroll that ends every route.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/math/RayInfo.h"
#include "park/grid/Grid.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterMotion.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"

namespace {
constexpr float kTwoPi = 6.2831853f;
constexpr uint32_t kTerrainPieceType = 12;
// A ring of squares for the stroll is tried while it has fewer squares than this.
constexpr int kMaxWanderRingSquares = 248;
// The parameter block's two landing tolerances (radians): at a standstill and at full impact speed.
constexpr size_t kLandingToleranceLow = 27;
constexpr size_t kLandingToleranceHigh = 28;

constexpr float kBoxMargin = 1.0f;  // how near beside a piece a skater counts as in its way

float Uniform() { return static_cast<float>(plat::rand()) / 32767.0f; }

const CObjectSkatePathNode* AsPieceNode(const CSkatePathNode* node) {
  return node != nullptr && node->IsPieceNode() ? static_cast<const CObjectSkatePathNode*>(node) : nullptr;
}

bool IsFacilityGoal(uint32_t goal) { return goal >= CSkater::kGoalFood && goal <= CSkater::kGoalDoctor; }


// Square k of the ring of radius r around the centre, walked from the low corner.
GridCell RingCell(int k, int r) {
  const int side = 2 * r;
  if (k < side) return GridCell{-r + k, -r};
  if (k < 2 * side) return GridCell{r, -r + (k - side)};
  if (k < 3 * side) return GridCell{r - (k - 2 * side), r};
  return GridCell{-r, r - (k - 3 * side)};
}
}  // namespace


float CSkater::WorldTime() const {
  const CGameWorld* world = GetGameWorld();
  return world != nullptr ? static_cast<float>(world->GetWorldTime()) : 0.0f;
}

const char* CSkater::FindSubstringNoCase(const char* text, const char* word) {
  if (text == nullptr || word == nullptr) return nullptr;
  for (const char* start = text; *start != '\0'; ++start) {
    size_t i = 0;
    while (word[i] != '\0' && start[i] != '\0' &&
           std::tolower(static_cast<unsigned char>(start[i])) == std::tolower(static_cast<unsigned char>(word[i])))
      ++i;
    if (word[i] == '\0') return start;
  }
  return word[0] == '\0' ? text : nullptr;
}

// --- Abilities ---

void CSkater::PracticeTrick(uint32_t category) {
  if (category >= kCategories) return;
  ability.trickCountA[category] += 1.0f;
  ability.totalA += 1.0f;
  ability.trickSkill[category] += (1.0f - ability.trickSkill[category]) * 0.01f;
}

void CSkater::CountLanded(uint32_t category) {
  if (category >= kCategories) return;
  ability.trickCountB[category] += 1.0f;
  ability.totalB += 1.0f;
}

uint32_t CSkater::GetUnderfootPieceType() const {
  const uint32_t id = body.underfootObject;
  if (id == kNone) return kNone;
  const CGrid* grid = GetGrid();
  if (grid != nullptr && id == grid->GetTerrainId()) return kTerrainPieceType;
  const CSkatableSection* section = GetPlacedSection(id);
  if (section == nullptr || section->GetDefinition() == nullptr) return kNone;
  return static_cast<uint32_t>(section->GetDefinition()->type);
}

int CSkater::ChooseTrick(uint32_t category) {
  body.currentTrick = CTrickHistory::kNoTrick;
  const int first = m_animation->GetCategoryFirst(category);
  const int count = m_animation->GetCategoryCount(category);
  const bool player = IsPlayerControlled();
  int trick = -1;
  if (player && count > 0) {
    // The last entry whose key list the typed keys start with; its keys are used up.
    std::vector<uint32_t>& typed = body.typedKeys;
    size_t used = 0;
    for (int e = first; e < first + count; ++e) {
      const std::vector<int>& keys = m_animation->GetKeys(e);
      const size_t n = keys.size();
      // An entry without keys cannot be typed; matching it vacuously would trump every real match.
      if (n == 0 || n > typed.size()) continue;
      bool match = true;
      for (size_t k = 0; k < n && match; ++k) match = static_cast<uint32_t>(keys[k]) == typed[k];
      if (match) trick = e, used = n;
    }
    if (trick < 0) {
      typed.clear();
      trick = first;
    } else {
      typed.erase(typed.begin(), typed.begin() + static_cast<long>(used));
    }
  } else if (!player) {
    const float t = ability.skill * 0.2f + (category < kCategories ? ability.trickSkill[category] : 0.0f);
    if (category == 3) {
      body.spinAngle = 0.0f;
      if (Uniform() < t) body.spinAngle = (plat::rand() & 1) == 0 ? kTwoPi : -kTwoPi;
    }
    std::vector<int> candidates;
    for (int e = first; e < first + count; ++e)
      if (m_animation->GetDifficulty(e) <= t) candidates.push_back(e);
    if (candidates.empty()) return -1;
    trick = candidates[static_cast<size_t>(plat::rand()) % candidates.size()];
  }
  if (trick < 0) return -1;
  ++GetSkaterTally().tricks;
  m_tricks.AddTrick(static_cast<uint32_t>(trick), category, GetUnderfootPieceType(), WorldTime(),
                    player ? body.spinAngle : 0.0f);
  PracticeTrick(category);
  body.currentTrick = static_cast<uint32_t>(trick);
  return trick;
}

// --- Looking ahead on the route ---

size_t CSkater::CountLinksAhead(uint32_t type) const {
  if (route.index < 0) return 0;
  size_t n = 0;
  for (size_t i = static_cast<size_t>(route.index); i < route.steps.size(); ++i, ++n)
    if (!route.steps[i].hasLink || route.steps[i].edge.kind != type) break;
  return n;
}

bool CSkater::IsDropAhead() const {
  if (!IsFollowingRoute() || route.index < 1) return false;
  const size_t i = static_cast<size_t>(route.index);
  if (i + 1 >= route.steps.size()) return false;
  const RouteStep& ahead = route.steps[i];
  const RouteStep& after = route.steps[i + 1];
  if (!ahead.hasLink || ahead.edge.kind != kLinkSkate || !after.hasLink || after.edge.kind != kLinkSkate) return false;
  const CSkatePathNode* here = FindNodeByID(ahead.nodeId);
  const CSkatePathNode* next = FindNodeByID(after.nodeId);
  if (here == nullptr || next == nullptr || !here->IsPieceNode()) return false;
  const Vector3 d = next->GetPosition() - here->GetPosition();
  return d.z < -1.0f && std::sqrt(d.x * d.x + d.y * d.y) < 0.5f;
}

// --- Route steps ---

void CSkater::AdvanceRoute() {
  if (mind.goal == kGoalLeave && IsOnExitOrOffGrid()) {
    Remove(ExitDeparture());
    return;
  }
  // Arrived at the reserved place: a service point or rest square is used, a queue place waited at.
  const RouteStep* here = GetCurrentStep();
  if (here != nullptr && here->nodeId == mind.reservedNodeId && IsFacilityGoal(mind.goal)) {
    const CObjectSkatePathNode* piece = AsPieceNode(FindNodeByID(here->nodeId));
    if (piece == nullptr || piece->action) {
      SetState(kUsingFacility, 0);
      return;
    }
  }
  ArriveAtLinkEnd();
  ++route.index;
  if (route.index >= static_cast<int32_t>(route.steps.size())) return;
  const RouteStep& next = route.steps[static_cast<size_t>(route.index)];
  // The next queue place is taken by the skater ahead: wait in line.
  CSkatePathNode* node = FindNodeByID(next.nodeId);
  const CObjectSkatePathNode* piece = AsPieceNode(node);
  // Only a skater still on its way to be served queues; one leaving walks out past the line.
  const bool queueing = IsFacilityGoal(mind.goal) && mind.reservedNodeId != kNone;
  if (piece != nullptr && (piece->line || piece->action) && queueing && next.nodeId != mind.reservedNodeId &&
      !ReserveNode(node)) {
    --route.index;
    SetState(kInLine, 0);
    return;
  }
  m_motion->SteerToward(m_motion->RoutePoint(static_cast<size_t>(route.index)));
  if (!next.hasLink) return;
  TakeLink(mind.needWalk ? static_cast<uint32_t>(kLinkWalk) : next.edge.kind);
}

void CSkater::ArriveAtLinkEnd() {
  const RouteStep* here = GetCurrentStep();
  if (here == nullptr || !here->hasLink) return;
  Vector3 v = GetVelocity();
  if (here->edge.kind == kLinkSkateToTop) {
    SetVelocity(Vector3(0.0f, 0.0f, -0.5f));
  } else if (here->edge.kind == kLinkAir) {
    SetVelocity(Vector3(0.0f, 0.0f, v.z));
  }
}

void CSkater::TakeLink(uint32_t type) {
  // A route that leaves the grind links by a jump or a climb ends the grind: the skater comes
  // down on its board, not grinding the ground (a grind ahead starts again at its first node).
  if (body.motionMode == kGrinding && (type == kLinkAir || type == kLinkFreeAir || type == kLinkSkateToTop))
    body.motionMode = kRolling;
  switch (type) {
    case kLinkGrindLeft:
    case kLinkGrindRight:
      GrindLinkStep(type);
      break;
    case kLinkAir:
    case kLinkFreeAir:
      JumpLink(type);
      break;
    case kLinkWalk:
      if (body.motionMode != kWalking) {
        body.motionMode = kWalking;
        m_animation->Play(CSkaterAnimation::kWalk, true);
      }
      break;
    case kLinkOllie:
      OllieLink();
      break;
    case kLinkSkate:
      body.motionMode = kRolling;
      if (m_motion->HasGroundContact() && !m_motion->IsFreshLanding() &&
          m_animation->GetCategory(m_animation->GetCurrent()) != 1)
        m_animation->Play(CSkaterAnimation::kCoast, true);
      break;
    default:
      break;
  }
}

void CSkater::PlayTrickSound() {
  if (m_soundRank < 4) m_animation->PlaySound(CSkaterAnimation::Sound::kTrick);
}

void CSkater::GrindLinkStep(uint32_t type) {
  if (IsPlayerControlled()) return;
  if (body.motionMode != kGrinding) {
    if (m_motion->HasGroundContact()) StartGrind();
    else body.motionMode = kGrinding;
  }
  // Now and then a grind long enough to come back to ends in a trick in the air.
  if (++route.grindSteps < 4 || (plat::rand() & 1) != 1 || CountLinksAhead(type) < 3) return;
  route.grindSteps = 0;
  m_animation->Play(CSkaterAnimation::kTakeOff, true);
  const Vector3 v = GetVelocity();
  SetVelocity(Vector3(v.x, v.y, 1.0f));
  ChooseTrick(2);
}

void CSkater::StartGrind() {
  body.motionMode = kGrinding;
  const Vector3 v = GetVelocity();
  if (v.z > 0.0f) SetVelocity(Vector3(v.x, v.y, 0.0f));
  route.grindSteps = 0;
  const int trick = ChooseTrick(4);
  m_animation->Play(trick, true);
  if (m_soundRank < 4)
    m_animation->PlaySound(trick > 46 ? CSkaterAnimation::Sound::kGrind : CSkaterAnimation::Sound::kSlide);
}

Vector3 CSkater::JumpTarget(size_t i) const {
  Vector3 point = m_motion->RoutePoint(i);
  if (const CSkatePathNode* node = GetRouteNode(i)) point.z = node->GetPosition().z;
  return point;
}

void CSkater::JumpLink(uint32_t type) {
  const Vector3 v = GetVelocity();
  SetVelocity(Vector3(v.x, v.y, std::max(v.z, m_params[SkaterParams::kJumpSpeed])));
  const Vector3 point = JumpTarget(static_cast<size_t>(route.index));
  if (type == kLinkAir) {
    m_motion->JumpTo(point);
  } else {
    m_motion->TakeOff(point.z + GetHeightOffset());
  }
  m_animation->Play(CSkaterAnimation::kTakeOff, true);
  ChooseTrick(3);
  PlayTrickSound();
}

void CSkater::OllieLink() {
  if (body.motionMode == kGrinding) {
    body.motionMode = kRolling;
    const TrickRecord* newest = m_tricks.GetEntry(0);
    if (newest != nullptr && !newest->finished && newest->category == 4) {
      m_tricks.CloseTricks(true, false, WorldTime(), body.spinAngle);
      CountLanded(4);
    }
  }
  const Vector3 point = JumpTarget(static_cast<size_t>(route.index));
  const float lo = m_params[SkaterParams::kMinJumpHeight];
  const float hi = m_params[SkaterParams::kMaxJumpHeight];
  const float height = std::min(std::max(point.z + GetHeightOffset() - GetCentre().z + lo, lo), hi);
  const Vector3 v = GetVelocity();
  SetVelocity(Vector3(v.x, v.y, std::sqrt(std::max(0.0f, height * m_params[SkaterParams::kGravity] * -2.0f))));
  m_motion->JumpTo(point);
  m_animation->Play(CSkaterAnimation::kTakeOff, true);
  ChooseTrick(2);
  PlayTrickSound();
}

// --- The stroll at a route's end ---

bool CSkater::FindWanderSquare(CGrid& grid, const CGridSquare& from, int radius, std::vector<RouteStep>& leg) {
  CSkatePathNode* start = FindNodeByID(route.steps.back().nodeId);
  if (start == nullptr) return false;
  const int count = 8 * radius;
  const int first = plat::rand() % count;
  const PathSkills skills = GetPathSkills();
  for (int i = 0; i < count; ++i) {
    const GridCell c = RingCell((first + i) % count, radius);
    CGridSquare* s = grid.GetSquare(from.GetColumn() + c.column, from.GetRow() + c.row);
    if (s == nullptr || s->nearPiece != 0 || !grid.IsCornerWalkable(*s) || !grid.IsConnected(*s) || s->IsReserved())
      continue;
    GraphPath path;
    if (!grid.FindPathForSkater(&skills, start, s, &path)) continue;
    AppendPath(path, leg);
    return true;
  }
  return false;
}

bool CSkater::AddWanderLeg() {
  CGrid* grid = GetGrid();
  if (grid == nullptr || route.steps.empty()) return false;
  const CSkatePathNode* last = FindNodeByID(route.steps.back().nodeId);
  const CGridSquare* from =
      last != nullptr ? grid->GetSquareNearPoint(last->GetPosition().x, last->GetPosition().y) : nullptr;
  if (from == nullptr) {
    DebugPrintf("Skater Cannot Find starting gridsquare for search!\n");
    return false;
  }
  for (int radius = 7 + (plat::rand() & 3); 8 * radius < kMaxWanderRingSquares; radius += 4) {
    std::vector<RouteStep> leg;
    if (!FindWanderSquare(*grid, *from, radius, leg)) continue;
    route.steps.insert(route.steps.end(), leg.begin(), leg.end());
    return true;
  }
  return false;
}

// --- Waiting in line ---

bool CSkater::TakeQueuePlaceAhead(CSkatePathNode* ahead) {
  if (ahead == nullptr) return false;
  if (ReserveNode(ahead)) return true;
  CGameWorld* world = GetGameWorld();
  auto* holder = world != nullptr ? dynamic_cast<CSkater*>(world->GetObjectByID(ahead->GetReservingSkaterId())) : nullptr;
  const RouteStep* here = GetCurrentStep();
  if (holder == nullptr || holder == this || here == nullptr || holder->mind.state != kInLine || holder->route.index < 0)
    return false;
  // Behind this skater: the place this one stands on still lies ahead on the holder's route.
  bool behind = false;
  for (size_t i = static_cast<size_t>(holder->route.index) + 1; i < holder->route.steps.size() && !behind; ++i)
    behind = holder->route.steps[i].nodeId == here->nodeId;
  if (!behind) return false;
  holder->ReleaseReservedNode();
  return ReserveNode(ahead);
}

// --- The box a piece is placed in or picked up from ---

bool CSkater::IsInBoxOrRoute(const Box& box) const {
  const Vector3 c = GetCentre();
  const float grow = GetRadius() + kBoxMargin;
  if (c.x >= box.min.x - grow && c.x <= box.max.x + grow && c.y >= box.min.y - grow && c.y <= box.max.y + grow &&
      c.z >= -1000.0f && c.z <= 5000.0f) {
    return true;
  }
  // A grind follows its route whatever the route mode says.
  const bool following = route.mode == 1 || body.motionMode == kGrinding;
  if (!following || route.index < 0) return false;
  Vector3 from = c;
  for (size_t i = static_cast<size_t>(route.index); i < route.steps.size(); ++i) {
    const CSkatePathNode* node = GetRouteNode(i);
    // A node that went away (with the piece just picked up) leaves a route that must be replanned.
    if (node == nullptr) return true;
    RayInfo ray(from, node->GetPosition());
    Box target = box;
    if (ray.IntersectBox(target)) return true;
    from = node->GetPosition();
  }
  return false;
}

// --- Crashes and landings ---

void CSkater::Crash(float severity) {
  ++GetSkaterTally().crashes;
  body.motionMode = kCrashed;
  body.crashTimer = 0.0f;  // the settling clock starts afresh, not from the last crash's count
  if (!IsPlayerControlled()) SetState(kCrashing, 0);
  const float angle = Uniform() * kTwoPi;
  const float push = severity * m_params[SkaterParams::kCrashHorizontalFactor];
  const Vector3 v = GetVelocity();
  SetVelocity(Vector3(v.x + push * std::cos(angle), v.y + push * std::sin(angle),
                      v.z + severity * m_params[SkaterParams::kCrashVerticalFactor]));
  const int count = m_animation->GetCategoryCount(7);
  if (count > 0) m_animation->Play(m_animation->GetCategoryFirst(7) + plat::rand() % count, true);
  needs.injury = std::min(std::max(needs.injury + severity, 0.0f), 1.0f);
  m_tricks.CloseTricks(false, false, WorldTime(), body.spinAngle);
}

void CSkater::CheckLanding(float impactSpeed, const LandingAngles& angles) {
  if (!IsPlayerControlled()) {
    if (body.motionMode != kCrashed && Uniform() < 0.1f) {
      const float u1 = Uniform();
      Crash(u1 * Uniform() * 0.4f);
    }
    body.landingError = 0.1f;
    const TrickRecord* newest = m_tricks.GetEntry(0);
    if (newest != nullptr && !newest->finished && newest->trick == body.currentTrick) {
      const uint32_t category = newest->category;
      m_tricks.CloseTricks(true, false, WorldTime(), body.spinAngle);
      CountLanded(category);
    }
    return;
  }
  if (body.motionMode == kGrinding) return;
  const float a = m_params[kLandingToleranceLow];
  const float b = m_params[kLandingToleranceHigh];
  const float tolerance = a + (b - a) * std::min(std::max(std::fabs(impactSpeed) * 0.1f, 0.0f), 1.0f);
  const Vector3 v = GetVelocity();
  const float speed = Vector3(std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)).ApproxLength();
  const float travel = speed >= 1.5f ? angles.travel : 0.0f;
  float trick = 0.0f;
  const int category = m_animation->GetCategory(m_animation->GetCurrent());
  if (category == 2 || category == 3)
    trick = std::min(std::max(1.0f - (m_animation->GetPlayedPart() - 0.8f) * 5.0f, 0.0f), 4.0f);
  body.landingError = std::max(std::max(angles.body, travel), trick) / tolerance;
  if (body.landingError < 1.0f) return;
  Crash(0.5f);
  needs.injury = 0.0f;  // the player's own falls do not send the skater to the medic
}

float CSkater::FinishAirTrick() {
  const bool offBalance = body.landingError >= 0.3f;
  float value = 0.0f;
  const TrickRecord* newest = m_tricks.GetEntry(0);
  if (newest != nullptr && !newest->finished) {
    const float now = WorldTime();
    m_tricks.CloseTricks(true, offBalance, now, body.spinAngle);
    const CSkaterAnimation& animation = *m_animation;
    value = m_tricks.ComputeTrickBonus(m_tricks.GetEntry(0)->sequence, now, [&animation](uint32_t trick) {
      return animation.GetDifficulty(static_cast<int>(trick));
    });
  }
  body.spinAngle = 0.0f;
  return value;
}

// --- Resting ---

void CSkater::RestTurnStep(float dt) {
  body.restTurnTimer += dt;
  if (body.restTurnTimer > (Uniform() + 1.0f) * 5.0f) {
    body.restTurnTimer = 0.0f;
    const COrientation& frame = GetOrientation();
    body.targetPoint = frame.GetPosition() + frame.GetXAxis();
    // Resting skaters turn to face a neighbour now and then.
    if (CGrid* grid = GetGrid()) {
      const Vector3& p = frame.GetPosition();
      const GridCell cell = grid->GetCellClamped(p.x + 0.5f, p.y + 0.5f);
      const int first = plat::rand() % 9;
      for (int i = 0; i < 9; ++i) {
        const int k = (first + i) % 9;
        const CGridSquare* s = grid->GetSquare(cell.column + k % 3 - 1, cell.row + k / 3 - 1);
        if (s == nullptr || !s->IsReserved() || s->GetReservingSkaterId() == GetID()) continue;
        body.targetPoint = s->GetPosition();
        break;
      }
    }
  }
  const COrientation& frame = GetOrientation();
  Vector3 d = body.targetPoint - frame.GetPosition();
  const float length = Vector3(std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)).ApproxLength();
  if (length <= 0.0f) return;
  d = d * (1.0f / length);
  const float side = d.Dot(frame.GetYAxis());
  if (std::fabs(side) <= 0.05f) return;
  COrientation turned = frame;
  turned.RotateAboutWorldAxis(Vector3(0.0f, 0.0f, 1.0f), side > 0.0f ? dt : -dt);
  SetFrame(turned);
}
