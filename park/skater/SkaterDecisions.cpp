// The mind of an AI skater: what it does next, where it finds what it needs, and its route steps.
#include <cmath>
#include <cstring>

#include "core/world/GameWorld.h"
#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "park/grid/Grid.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/pieces/ObjectDefinition.h"
#include "park/pieces/SkatableFacility.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterMotion.h"
#include "park/skater/ThoughtTexts.h"
#include "park/world/VerezIvor.h"
#include "platform/system/Platform.h"

namespace {
constexpr float kDecisionWait = 1.0f;  // seconds a content skater waits before it plans skating
// The service point search walks at most this many queue places.
constexpr int kMaxQueueSteps = 64;

float ApproxDistance(const Vector3& a, const Vector3& b) {
  const Vector3 d = a - b;
  return Vector3(std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)).ApproxLength();
}

const CObjectSkatePathNode* AsPieceNode(const CSkatePathNode* node) {
  return node != nullptr && node->IsPieceNode() ? static_cast<const CObjectSkatePathNode*>(node) : nullptr;
}

}  // namespace

CGrid* CSkater::GetGrid() const {
  const CVerezIvor* park = GetPark();
  return park != nullptr ? park->GetGrid() : nullptr;
}

const CGridSquare* CSkater::SquareUnder() const {
  const CGrid* grid = GetGrid();
  if (grid == nullptr) return nullptr;
  const Vector3& p = GetCentre();
  return grid->GetSquareAtFloat((p.x + 0.5f - grid->GetOrigin().x) / grid->GetSquareWidth(),
                                (p.y + 0.5f - grid->GetOrigin().y) / grid->GetSquareDepth());
}

bool CSkater::IsOnExitOrOffGrid() const {
  const CGridSquare* square = SquareUnder();
  return square == nullptr || square->exit != 0;
}

CSkatePathNode* CSkater::FindStartNode() const {
  // From where the board stands: no higher than a step above it, a plan can start.
  return FindNearestNode(GetCentre() - Vector3(0.0f, 0.0f, GetRadius()), kStepHeight);
}

Departure CSkater::ExitDeparture() const {
  return SquareUnder() != nullptr ? Departure::kThroughExit : Departure::kOffGrid;
}

void CSkater::UpdateMood() {
  float variety = static_cast<float>(m_tricks.CountDistinctTricks()) / 6.0f;
  variety = variety < 0.0f ? 0.0f : (variety > 1.0f ? 1.0f : variety);
  needs.mood += ((1.0f - variety) - needs.mood) * 0.1f;
  needs.mood = needs.mood < 0.0f ? 0.0f : (needs.mood > 1.0f ? 1.0f : needs.mood);
}

void CSkater::Leave(int thought, bool needWalk) {
  mind.goal = kGoalLeave;
  if (needWalk) mind.needWalk = true;
  if (!PlanRouteToExit()) {
    Remove(Departure::kNoWayToExit);  // with no way to the exit the skater simply goes
    return;
  }
  SetState(kHeadingToGoal, 0);
  if (thought >= 0) m_thoughts.AddThought(static_cast<uint32_t>(thought), true);
}

bool CSkater::TryNeed(float need, uint32_t kind, uint32_t goal, uint32_t thoughtGroup, bool calm) {
  if (!(need > 0.5f) || !(calm || need > 0.99f)) return false;
  const int r = FindFacility(kind, (need + 1.0f) * 60.0f);
  if (r == 0) {
    mind.goal = goal;
    SetState(kHeadingToGoal, 0);
    m_thoughts.AddThought(thoughtGroup, true);
    return true;
  }
  if (r < 5) m_thoughts.AddThought(thoughtGroup + static_cast<uint32_t>(r), true);
  return false;
}

void CSkater::DecideWhatToDo() {
  UpdateMood();
  mind.needWalk = false;
  times.decisionTime = 0.0f;
  const bool calm = needs.injury < 0.96f && needs.bladder < 0.99f && needs.thirst < 0.99f && needs.hunger < 0.99f;
  if (mind.goal == kGoalLeave && IsOnExitOrOffGrid()) {
    Remove(ExitDeparture());
    return;
  }
  mind.goal = kGoalSkate;
  ReleaseReservedNode();
  if (mind.evicted) return Leave(-1, false);
  const CVerezIvor* park = GetPark();
  const float fee = park != nullptr ? park->GetParkState().admissionFee : 0.0f;
  if (1.0f - ability.shoppingFactor < fee * 0.025f * 0.25f) return Leave(thoughts::kTooExpensiveToEnter, false);
  if (needs.injury > 0.99f) return SetState(kInjured, 0);
  if (needs.injury > 0.5f) {
    mind.goal = kGoalDoctor;
    const int r = FindFacility(7, 9999999.0f);
    if (r == 0) {
      SetState(kHeadingToGoal, 0);
      m_thoughts.AddThought(thoughts::kMedic, true);
      mind.needWalk = true;
      return;
    }
    if (r < 5) m_thoughts.AddThought(thoughts::kMedic + static_cast<uint32_t>(r), true);
  }
  if (TryNeed(needs.bladder, 6, kGoalRestroom, thoughts::kRestroom, calm)) return;
  if (TryNeed(needs.thirst, 10, kGoalDrink, thoughts::kDrink, calm)) return;
  if (TryNeed(needs.hunger, 9, kGoalFood, thoughts::kFood, calm)) return;
  if (needs.tiredness > 0.5f && calm && FindRestPlace()) {
    mind.goal = kGoalRest;
    m_thoughts.AddThought(thoughts::kRest, false);
    return;
  }
  if (needs.injury > 0.96f) return Leave(thoughts::kMedic + 4, true);
  if (needs.bladder > 0.99f) return Leave(thoughts::kRestroom + 4, false);
  if (needs.thirst > 0.99f) return Leave(thoughts::kDrink + 4, false);
  if (needs.hunger > 0.99f) return Leave(thoughts::kFood + 4, false);
  if (times.timeSinceShopping / 3600.0 >= (ability.shoppingFactor + 1.0) * 12.0) {
    times.timeSinceShopping = 0.0;
    if ((plat::rand() & 1) == 0) {
      const bool shirt = (plat::rand() & 1) == 0;
      const uint32_t group = shirt ? thoughts::kShirt : thoughts::kBoard;
      const int r = FindFacility(shirt ? 11 : 12, 120.0f);
      if (r == 0) {
        mind.goal = shirt ? kGoalShirt : kGoalBoard;
        SetState(kHeadingToGoal, 0);
      }
      if (r < 5) m_thoughts.AddThought(group + static_cast<uint32_t>(r), true);
      if (r == 0) return;
    }
  }
  if (times.decisionTimer < kDecisionWait) {
    CGameWorld* world = GetGameWorld();
    times.decisionTimer += world != nullptr ? world->GetTickLength() : 0.0f;
    return;
  }
  times.decisionTimer = 0.0f;
  if (ChooseSkatingRoute()) {
    times.decisionTimer = kDecisionWait;
    SetState(kSkating, 0);
  }
}

void CSkater::GetStatusText(char* out, size_t size) const {
  static const char* const kHeading[] = {"Going to get food",          "Finding a place to rest",
                                         "Heading for the bathroom",   "Going to buy a t-shirt",
                                         "Going to buy a skateboard",  "Going to get a drink",
                                         "Going to a doctor",          "Leaving the park"};
  static const char* const kLine[] = {"Standing in line for food", nullptr, "Standing in line for bathroom",
                                      "In line for t-shirt", "In line for skateboard", "In line for a drink",
                                      "In line for first aid", nullptr};
  static const char* const kUsing[] = {"Buying food",         "Resting",           "Using the restroom",
                                       "Buying a new t-shirt", "Buying a skateboard", "Buying a beverage",
                                       "Receiving first aid", "Goodbye"};
  if (out == nullptr || size == 0) return;
  const bool known = mind.goal >= kGoalFood && mind.goal <= kGoalLeave;
  const size_t g = known ? mind.goal - kGoalFood : 0;
  const char* text = "";
  switch (mind.state) {
    case kDeciding: text = "Deciding what to do"; break;
    case kSkating: text = "Skating"; break;
    case kHeadingToGoal: text = known ? kHeading[g] : "Skating"; break;
    case kInLine: text = known && kLine[g] != nullptr ? kLine[g] : "Standing in line"; break;
    case kUsingFacility: text = known ? kUsing[g] : "Skating"; break;
    case kCrashing: text = "Crashing"; break;
    case kInjured: text = "Injured"; break;
    case kResting: text = "Resting"; break;
    default: break;
  }
  std::strncpy(out, text, size - 1);
  out[size - 1] = '\0';
}

// --- Facility visits ---

int CSkater::FindFacility(uint32_t kind, float maxDistance) {
  CGrid* grid = GetGrid();
  CSkatePathNode* start = FindStartNode();
  if (start == nullptr || grid == nullptr) {
    DebugPrintf("Skater Cannot Find start node!\n");
    return 5;
  }
  std::vector<CSkatePathNode*> candidates;
  FindTargetNodes(candidates, start, kind);
  if (candidates.empty()) return 1;
  route.steps.clear();
  auto dropIf = [&candidates](auto reject) {
    std::vector<CSkatePathNode*> kept;
    for (CSkatePathNode* n : candidates)
      if (!reject(n)) kept.push_back(n);
    candidates.swap(kept);
  };
  dropIf([&](CSkatePathNode* n) { return ApproxDistance(start->GetPosition(), n->GetPosition()) > maxDistance; });
  if (candidates.empty()) return 5;
  CGameWorld* world = GetGameWorld();
  dropIf([&](CSkatePathNode* n) {
    // A reservation held by a skater that is gone, or that holds another node, holds nothing.
    if (!n->IsReserved() || n->GetReservingSkaterId() == GetID()) return false;
    auto* holder = world != nullptr ? dynamic_cast<CSkater*>(world->GetObjectByID(n->GetReservingSkaterId())) : nullptr;
    return holder != nullptr && holder->mind.reservedNodeId == n->GetNodeId();
  });
  if (candidates.empty()) return 2;
  dropIf([&](CSkatePathNode* n) {
    const auto* facility = dynamic_cast<const CSkatableFacility*>(GetPlacedSection(n->GetOwnerPieceId()));
    if (facility == nullptr || facility->GetDefinition() == nullptr) return false;
    return facility->GetUseFee() / (facility->GetDefinition()->useFee + 1.0f) - 1.0f > 1.0f - ability.shoppingFactor;
  });
  if (candidates.empty()) return 3;
  CSkatePathNode* best = nullptr;
  float bestDistance = 0.0f;
  for (CSkatePathNode* n : candidates) {
    const float d = ApproxDistance(start->GetPosition(), n->GetPosition());
    if (best == nullptr || d < bestDistance) best = n, bestDistance = d;
  }
  ReserveNode(best);
  GraphPath path;
  const PathSkills skills = GetPathSkills();
  if (!grid->FindPathForSkater(&skills, start, best, &path)) {
    DebugPrintf("Target is not reachable from start node!\n");
    ReleaseReservedNode();
    return 5;
  }
  SetRouteFromPath(path, start);
  ExtendToServicePoint();
  AddWanderLeg();
  AimAtFirstRoutePoint();
  SetState(kHeadingToGoal, 0);
  m_animation->Play(CSkaterAnimation::kCoast, true);
  return 0;
}

bool CSkater::ExtendToServicePoint() {
  CGrid* grid = GetGrid();
  if (grid == nullptr || route.steps.empty()) return false;
  std::vector<uint32_t> visited;
  for (const RouteStep& s : route.steps) visited.push_back(s.nodeId);
  for (int step = 0; step < kMaxQueueSteps; ++step) {
    CSkatePathNode* last = FindNodeByID(route.steps.back().nodeId);
    const CObjectSkatePathNode* piece = AsPieceNode(last);
    if (last == nullptr) return false;
    if (piece != nullptr && piece->action) return true;
    SuccessorList successors;
    grid->GetSuccessors(last, successors);
    std::vector<GraphStep> lines;
    for (const GraphStep& s : successors) {
      const CObjectSkatePathNode* next = AsPieceNode(static_cast<CSkatePathNode*>(s.node));
      if (next == nullptr || !next->line) continue;
      // A queue walked twice would loop forever; a place already on the route is not offered.
      bool seen = false;
      for (uint32_t id : visited) seen = seen || id == next->GetNodeId();
      if (!seen) lines.push_back(s);
    }
    if (lines.empty()) return false;
    const RouteStep added = MakeStep(lines[static_cast<size_t>(plat::rand()) % lines.size()]);
    route.steps.push_back(added);
    visited.push_back(added.nodeId);
  }
  return false;
}

void CSkater::Evict() {
  if (mind.evicted) return;
  m_thoughts.AddThought(thoughts::kEvicted, false);
  mind.evicted = true;
  DecideWhatToDo();
}

// --- Plans ---

bool CSkater::PlanRouteToExit() {
  CGrid* grid = GetGrid();
  CSkatePathNode* start = FindStartNode();
  if (start == nullptr || grid == nullptr) {
    DebugPrintf("Skater Cannot Find start node!\n");
    return false;
  }
  // Every exit of the start's component is a target; the skater takes the one its path reaches
  // soonest, not the one nearest in a straight line, which may lie behind a wall.
  bool reachable = false;
  GraphPath best;
  float bestCost = 0.0f;
  const PathSkills skills = GetPathSkills();
  for (CGridSquare* square : grid->GetExits()) {
    if (square == nullptr || !square->SameComponent(*start)) continue;
    reachable = true;
    GraphPath path;
    if (!grid->FindPathForSkater(&skills, start, square, &path)) continue;
    if (best.empty() || square->costSoFar < bestCost) best.swap(path), bestCost = square->costSoFar;
  }
  if (!reachable) return false;
  SetRouteFromPath(best, start);
  AimAtFirstRoutePoint();
  SetState(kHeadingToGoal, 0);
  return true;
}

bool CSkater::FindRestPlace() {
  CGrid* grid = GetGrid();
  if (grid == nullptr) return false;
  const Vector3& p = GetCentre();
  const GridCell cell = grid->GetCellClamped(p.x, p.y);
  std::vector<CGridSquare*> candidates;
  for (int dy = -10; dy < 10; ++dy)
    for (int dx = -10; dx < 10; ++dx) {
      CGridSquare* s = grid->GetSquare(cell.column + dx, cell.row + dy);
      if (s != nullptr && grid->IsConnected(*s) && grid->IsCornerWalkable(*s) && s->nearPiece == 0 &&
          !s->IsBlocked() && s->skateable != 0 && !s->IsReserved())
        candidates.push_back(s);
    }
  if (candidates.empty()) return false;
  CSkatePathNode* start = FindStartNode();
  if (start == nullptr) {
    DebugPrintf("Skater Cannot Find start node!\n");
    return false;
  }
  const size_t drawn = static_cast<size_t>(plat::rand()) % candidates.size();
  CGridSquare* pick = candidates[drawn];
  for (size_t i = 0; i < candidates.size(); ++i) {
    CGridSquare* s = candidates[(drawn + i) % candidates.size()];
    if (s->HasReservedNeighbour()) {
      pick = s;
      break;
    }
  }
  GraphPath path;
  const PathSkills skills = GetPathSkills();
  if (!grid->FindPathForSkater(&skills, start, pick, &path)) return false;
  ReserveNode(pick);
  SetRouteFromPath(path, start);
  AimAtFirstRoutePoint();
  SetState(kHeadingToGoal, 0);
  return true;
}

bool CSkater::ChooseSkatingRoute() {
  CGrid* grid = GetGrid();
  CSkatePathNode* start = FindStartNode();
  if (start == nullptr || grid == nullptr) {
    DebugPrintf("Skater Cannot Find start node!\n");
    Remove(Departure::kNoStartNode);
    return false;
  }
  std::vector<CSkatePathNode*> candidates;
  FindTargetNodes(candidates, start, 1);
  if (candidates.empty()) return false;
  std::vector<RouteStep> steps(1);
  steps[0].nodeId = start->GetNodeId();
  std::vector<uint32_t> sections;
  CSkatePathNode* current = start;
  const PathSkills skills = GetPathSkills();
  for (int budget = 16; budget >= 1;) {
    const Vector3 corner = grid->GetSquareCorner(plat::rand() % grid->GetSquareCount());
    const Vector3 reference(corner.x, corner.y, GetCentre().z);
    CSkatePathNode* best = nullptr;
    float bestScore = 0.0f;
    for (CSkatePathNode* c : candidates) {
      bool used = false;
      for (uint32_t id : sections) used = used || id == c->GetOwnerPieceId();
      if (used) continue;
      const float d = ApproxDistance(reference, c->GetPosition());
      const CSkatableSection* section = GetPlacedSection(c->GetOwnerPieceId());
      const float f = section != nullptr && section->GetDefinition() != nullptr
                          ? static_cast<float>(m_tricks.CountPieceType(section->GetDefinition()->type))
                          : 0.0f;
      const float u = static_cast<float>(plat::rand()) / 32767.0f;
      const float score = -((u + 1.0f) * (f + 1.0f) * d + u);
      if (best == nullptr || score > bestScore) best = c, bestScore = score;
    }
    if (best == nullptr) break;
    sections.push_back(best->GetOwnerPieceId());
    GraphPath path;
    if (!grid->FindPathForSkater(&skills, current, best, &path)) {
      // An unreachable target is skipped; it never becomes the place the next leg starts from.
      DebugPrintf("Target is not reachable from start node!\n");
      continue;
    }
    const size_t before = steps.size();
    AppendPath(path, steps);
    for (size_t i = before; i < steps.size(); ++i)
      if (steps[i].nodeId >= CObjectSkatePathNode::kFirstPieceNodeId) --budget;
    current = best;
  }
  route.steps.swap(steps);
  AddWanderLeg();
  SetState(kSkating, 0);
  AimAtFirstRoutePoint();
  return true;
}

// --- Facility use ---

void CSkater::FaceServiceNode() {
  const RouteStep* here = GetCurrentStep();
  const CObjectSkatePathNode* node = here != nullptr ? AsPieceNode(FindNodeByID(here->nodeId)) : nullptr;
  CSkatableSection* section = node != nullptr ? GetPlacedSection(node->GetOwnerPieceId()) : nullptr;
  if (section == nullptr) return;
  // The node's frame in the world: the way the counter faces the one it serves.
  const COrientation world =
      section->GetWorldMatrix().LocalToWorldOrientation(COrientation(node->attachRotation, node->attachPosition));
  COrientation frame = GetOrientation();
  frame.GetMatrix() = world.GetMatrix();
  SetFrame(frame);
}

void CSkater::UseFacilityStep(float dt) {
  struct Service {
    float time;
    float* need;
    uint32_t group;
  };
  Service service{6.0f, nullptr, 0};
  switch (mind.goal) {
    case kGoalFood: service = {6.0f, &needs.hunger, 0}; break;
    case kGoalRestroom: service = {6.0f, &needs.bladder, 2}; break;
    case kGoalShirt: service = {6.0f, nullptr, 3}; break;
    case kGoalBoard: service = {6.0f, nullptr, 4}; break;
    case kGoalDrink: service = {4.0f, &needs.thirst, 1}; break;
    case kGoalDoctor: service = {10.0f, &needs.injury, 5}; break;
    case kGoalRest: break;
    default:
      SetState(kSkating, 0);
      AdvanceRoute();
      return;
  }
  if (times.stateTime == 0.0f) {
    FaceServiceNode();
    m_animation->Play(CSkaterAnimation::kIdle, true);
    if (mind.goal == kGoalRestroom) ClearBoundFlags(0x200);
  }
  const auto finish = [this]() {
    ReleaseReservedNode();
    SetState(kSkating, 0);
    AdvanceRoute();
  };
  if (mind.goal == kGoalRest) {
    if (times.stateTime > 0.0f && needs.tiredness <= 0.0f) {
      m_thoughts.ClearBubbles(6);
      m_animation->Play(CSkaterAnimation::kPutDownBoard, false);
      finish();
      return;
    }
    if (times.stateTime > 0.0f) RestTurnStep(dt);
    times.stateTime += dt;
    return;
  }
  if (times.stateTime > service.time) {
    const RouteStep* here = GetCurrentStep();
    const CSkatePathNode* node = here != nullptr ? FindNodeByID(here->nodeId) : nullptr;
    // The facility is looked up by id: one sold while serving takes no money.
    auto* facility = node != nullptr ? dynamic_cast<CSkatableFacility*>(GetPlacedSection(node->GetOwnerPieceId())) : nullptr;
    if (facility != nullptr) {
      // One fee, as the facility shows it, for the skater, the park, its concessions total and the
      // facility's revenue alike.
      const float fee = facility->Use();
      needs.money -= fee;
      if (CVerezIvor* park = GetPark()) {
        park->AddMoney(fee);
        park->GetParkState().earnedFromConcessions += fee;
      }
    }
    if (service.need != nullptr) *service.need = 0.0f;
    m_thoughts.ClearBubbles(service.group);
    if (mind.goal == kGoalDoctor) mind.needWalk = false;
    m_animation->Play(CSkaterAnimation::kWalk, true);
    finish();
    return;
  }
  times.stateTime += dt;
}
