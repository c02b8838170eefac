// CSkaterBody: the grind edge search and the player's grinds.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/world/WorldAccess.h"
#include "core/data/DebugPrintf.h"
#include "core/math/MathUtil.h"
#include "core/spatial/Octree.h"
#include "park/grid/ObjectSkatePathNode.h"
#include "park/pieces/SkatableSection.h"
#include "park/skater/Skater.h"
#include "park/skater/SkaterAnimation.h"
#include "park/skater/SkaterBody.h"
#include "physics/terrain/TerrainPolygon.h"
#include "scene/mesh/MeshInstance.h"

namespace {
using Edge = CSkaterBody::GrindEdge;
using Triangle = CSkaterBody::GrindTriangle;

constexpr float kPi = 3.14159265f;
constexpr uint32_t kStaticWorldMask = 0x100000;
constexpr float kCoincident2 = 0.0025f;  // vertices this close (squared) are one
constexpr float kCell = 0.05f;           // sqrt of kCoincident2: coincident vertices share or neighbour a cell
constexpr float kChainReach2 = 0.0064f;  // an edge continues the path when it starts this close (squared)
constexpr float kLeastTurnScore = 1.7278759f;

bool Near(const Vector3& a, const Vector3& b) { return (a - b).LengthSquared() < kCoincident2; }

struct CellKey {
  int32_t x, y, z;
  bool operator==(const CellKey& o) const { return x == o.x && y == o.y && z == o.z; }
};
struct CellHash {
  size_t operator()(const CellKey& k) const {
    return static_cast<size_t>(k.x) * 73856093u ^ static_cast<size_t>(k.y) * 19349663u ^
           static_cast<size_t>(k.z) * 83492791u;
  }
};
CellKey CellOf(const Vector3& p) {
  return CellKey{static_cast<int32_t>(std::floor(p.x / kCell)), static_cast<int32_t>(std::floor(p.y / kCell)),
                 static_cast<int32_t>(std::floor(p.z / kCell))};
}

// Triangles by the cells of their corners; a query looks at the 27 cells around a point.
class CornerIndex {
 public:
  explicit CornerIndex(const std::vector<Triangle>& triangles) {
    for (size_t t = 0; t < triangles.size(); ++t) {
      for (const Vector3& c : triangles[t].corner) m_cells[CellOf(c)].push_back(static_cast<uint32_t>(t));
    }
  }
  // Every triangle with a corner near p, each once, in ascending order.
  void Near(const Vector3& p, std::vector<uint32_t>& out) const {
    out.clear();
    const CellKey k = CellOf(p);
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
          auto it = m_cells.find(CellKey{k.x + dx, k.y + dy, k.z + dz});
          if (it != m_cells.end()) out.insert(out.end(), it->second.begin(), it->second.end());
        }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }

 private:
  std::unordered_map<CellKey, std::vector<uint32_t>, CellHash> m_cells;
};

int CoincidentCount(const Triangle& t, const Vector3& p) {
  int n = 0;
  for (const Vector3& c : t.corner) n += Near(c, p) ? 1 : 0;
  return n;
}

// The shared edge of two triangles: exactly two corners of i coincide with corners of j.
bool SharedEdge(const Triangle& i, const Triangle& j, Edge& edge) {
  Vector3 shared[3];
  int n = 0;
  for (const Vector3& c : i.corner) {
    if (CoincidentCount(j, c) > 0) shared[n++] = c;
  }
  if (n != 2) return false;
  edge = Edge{shared[0], shared[1]};
  return true;
}

bool IsSteep(const Edge& e) {
  const Vector3 d = e.b - e.a;
  const float approx = d.ApproxLength();
  return approx == 0.0f || std::fabs(d.z) / approx >= 0.707f;
}

// True when a triangle other than i and j has two or more corners on the edge's ends.
bool SharedByThird(const std::vector<Triangle>& triangles, const CornerIndex& index, uint32_t i, uint32_t j,
                   const Edge& e, std::vector<uint32_t>& scratch) {
  std::vector<uint32_t> atB;
  index.Near(e.a, scratch);
  index.Near(e.b, atB);
  scratch.insert(scratch.end(), atB.begin(), atB.end());
  for (uint32_t k : scratch) {
    if (k == i || k == j) continue;
    int n = 0;
    for (const Vector3& c : triangles[k].corner) n += (Near(c, e.a) || Near(c, e.b)) ? 1 : 0;
    if (n >= 2) return true;
  }
  return false;
}
}  // namespace

void CSkaterBody::QualifyingEdges(const std::vector<GrindTriangle>& triangles, std::vector<GrindEdge>& out) {
  const CornerIndex index(triangles);
  std::vector<uint32_t> candidates, scratch;
  for (uint32_t i = 0; i < triangles.size(); ++i) {
    // Only triangles with a corner near one of i's can share an edge with it.
    std::vector<uint32_t> partners;
    for (const Vector3& c : triangles[i].corner) {
      index.Near(c, candidates);
      partners.insert(partners.end(), candidates.begin(), candidates.end());
    }
    std::sort(partners.begin(), partners.end());
    partners.erase(std::unique(partners.begin(), partners.end()), partners.end());
    for (uint32_t j : partners) {
      if (j <= i) continue;
      const float c = triangles[i].normal.Dot(triangles[j].normal);
      if (!(c < 0.1f && c >= -0.8f)) continue;
      Edge edge;
      if (!SharedEdge(triangles[i], triangles[j], edge) || IsSteep(edge)) continue;
      if (SharedByThird(triangles, index, i, j, edge, scratch)) continue;
      out.push_back(edge);
    }
  }
}

void CSkaterBody::FindGrindEdges(const Vector3& centre, float radius, std::vector<Edge>& out) const {
  COctree* octree = GetWorldOctree();
  if (octree == nullptr) return;
  const Box box(centre - Vector3(radius, radius, radius), centre + Vector3(radius, radius, radius));
  COctree::ObjectList found;
  octree->QueryBox(box, &found, kStaticWorldMask);
  std::vector<Triangle> triangles;
  for (CBoundedObject* object : found) {
    const auto* polygon = dynamic_cast<const CTerrainPolygon*>(object);
    // A curved patch's index is no face of its mesh, and its smooth surface has no edges to grind.
    if (polygon == nullptr || !polygon->IsBound() || (object->GetBoundFlags() & CBoundedObject::kPatchSection) != 0)
      continue;
    CMeshInstance* instance = polygon->GetInstance();
    const uint32_t face = static_cast<uint32_t>(polygon->GetFace());
    Triangle t;
    for (uint32_t k = 0; k < 3; ++k) t.corner[k] = instance->GetCornerWorldPosition(face, k);
    t.normal = instance->GetWorldFaceNormal(face);
    triangles.push_back(t);
  }
  QualifyingEdges(triangles, out);
}

void CSkaterBody::CollectGrindCandidates(const Vector3& centre, float radius, std::vector<Edge>& out) const {
  FindGrindEdges(centre, radius, out);
  // The pieces' own grind links whose nodes lie within reach.
  const Box reach(centre - Vector3(radius, radius, radius), centre + Vector3(radius, radius, radius));
  const float r2 = radius * radius;
  for (uint32_t id : GetPlacedSectionList()) {
    const CSkatableSection* section = GetPlacedSection(id);
    if (section == nullptr || !section->GetBounds().Overlaps(reach)) continue;
    for (const SectionLink& link : section->GetPathLinks()) {
      if ((link.edge.kind & 0x1000u) == 0 || link.from == nullptr || link.to == nullptr) continue;
      const Vector3 a = link.from->GetPosition(), b = link.to->GetPosition();
      if ((a - centre).LengthSquared() <= r2 || (b - centre).LengthSquared() <= r2) out.push_back(Edge{a, b});
    }
  }
}

// --- The player's grinds ---

void CSkaterBody::SetGrindRoute(const Vector3& first, const Vector3& second) {
  CSkater& s = m_skater;
  s.route.steps.clear();
  m_grindPoints.clear();
  AppendGrindPoint(first);
  AppendGrindPoint(second);
  s.route.index = 0;
  s.route.mode = 1;
}

void CSkaterBody::AppendGrindPoint(const Vector3& p) {
  CSkater::RouteStep step;
  step.hasLink = true;
  step.edge = PathEdgeInfo{1.0f, 0x1000u, 0};  // the skater's own grind link
  step.linkNumber = CSkater::kNone;
  m_skater.route.steps.push_back(step);
  m_grindPoints.push_back(p);
}

void CSkaterBody::EngageGrind() {
  CSkater& s = m_skater;
  const float radius = s.GetRadius();
  const Vector3 position = s.GetCentre();
  std::vector<Edge> edges;
  CollectGrindCandidates(position - Vector3(0.0f, 0.0f, radius), radius * s.GetParams()[23], edges);
  Vector3 direction = s.GetVelocity();
  if (direction.LengthSquared() < 0.5f) direction += s.GetFrame().GetXAxis();
  float best = -1.0f;
  const Edge* winner = nullptr;
  Vector3 end;
  for (const Edge& e : edges) {
    const float theta = AngleBetween(e.b - e.a, direction);
    if ((e.a - position).Dot(direction) > 0.0f && theta > best) {
      best = theta;
      winner = &e;
      end = e.a;
    }
    if ((e.b - position).Dot(direction) > 0.0f && kPi - theta > best) {
      best = kPi - theta;
      winner = &e;
      end = e.b;
    }
  }
  if (winner == nullptr) return;
  DebugPrintf("Engaging Grind Path!\n");
  m_skater.body.trickFlag = false;
  const Vector3 ab = winner->b - winner->a;
  const float len2 = ab.LengthSquared();
  const float t = len2 > 0.0f ? std::clamp((position - winner->a).Dot(ab) / len2, 0.0f, 1.0f) : 0.0f;
  SetGrindRoute(winner->a + ab * t, end);
  m_grindEntrySpeed = s.GetVelocity().Length();
  s.SetCentre(RoutePoint(0));
  s.StartGrind();
}

void CSkaterBody::ExtendGrind() {
  CSkater& s = m_skater;
  if (m_grindPoints.empty()) return;
  const Vector3 last = m_grindPoints.back();
  Vector3 d = s.GetCentre() - last;
  if (d.LengthSquared() == 0.0f) d = Vector3(1.0f, 0.0f, 0.0f);
  const float radius = s.GetRadius();
  std::vector<Edge> edges;
  CollectGrindCandidates(last, radius * s.GetParams()[23], edges);
  float best = kLeastTurnScore;
  bool found = false;
  Vector3 next;
  for (const Edge& e : edges) {
    const float theta = AngleBetween(e.b - e.a, d);
    if ((e.a - last).LengthSquared() < kChainReach2 && theta > best) {
      best = theta;
      next = e.b;
      found = true;
    }
    if ((e.b - last).LengthSquared() < kChainReach2 && kPi - theta > best) {
      best = kPi - theta;
      next = e.a;
      found = true;
    }
  }
  if (!found) return;
  DebugPrintf("Appending Grind Path!\n");
  AppendGrindPoint(next);
}

void CSkaterBody::ExitGrind() {
  CSkater& s = m_skater;
  CSkaterAnimation& anim = s.GetAnimation();
  // Leaving an edge sounds like leaving it: the exit sounds, not the start sounds again.
  anim.PlaySound(s.body.animIndex > 46 ? CSkaterAnimation::Sound::kExitGrind : CSkaterAnimation::Sound::kExitSlide);
  s.body.motionMode = CSkater::kRolling;
  s.route.mode = 0;
  s.route.index = -1;
  s.route.steps.clear();
  m_grindPoints.clear();
  s.body.typedKeys.clear();
  Vector3 v = s.GetVelocity();
  v.z += kGrindExitHop;
  s.SetVelocity(v);
  anim.Play(CSkaterAnimation::kOllie, true);
  TakeOffTime(s.GetCentre().z);
  s.body.animIndex = CSkaterAnimation::kOllie;
}

void CSkaterBody::PlayerGrindStep(float dt) {
  CSkater& s = m_skater;
  s.mind.needWalk = false;
  const SkaterParams& p = s.GetParams();
  const float least = p[22];
  const bool crashed = s.body.motionMode == CSkater::kCrashed;
  if (m_grindKey && !crashed && !IsGrinding() && s.GetVelocity().Length() > 3.0f * least) EngageGrind();
  const int32_t count = static_cast<int32_t>(s.route.steps.size());
  if (IsGrinding() && s.route.index == count - 1) ExtendGrind();
  if (IsGrinding()) {
    const bool inside = s.route.index >= 0 && s.route.index < static_cast<int32_t>(s.route.steps.size());
    if (inside && s.GetVelocity().LengthSquared() < least * least) {
      s.Crash(0.5f);
    } else if (!inside) {
      ExitGrind();
    }
  }
  if (m_grindKey && IsGrinding() && IsFollowingRoute() && (s.route.index == 0 || s.route.index == 1)) {
    Vector3 toward = RoutePoint(static_cast<size_t>(s.route.index)) - s.GetCentre();
    if (toward.Normalize() && s.GetVelocity().Dot(toward) < m_grindEntrySpeed) {
      s.SetVelocity(toward * m_grindEntrySpeed);
    }
  }
  if (!HasGroundContact()) StartAirTrick();
  if (s.body.motionMode == CSkater::kCrashed && CrashSettling(dt)) s.body.motionMode = CSkater::kRolling;
}

void CSkaterBody::StartAirTrick() {
  CSkater& s = m_skater;
  const std::vector<uint32_t>& typed = s.body.typedKeys;
  if (std::find(typed.begin(), typed.end(), static_cast<uint32_t>(kActionJump)) == typed.end()) return;
  CSkaterAnimation& anim = s.GetAnimation();
  const int current = anim.GetCurrent();
  const int category = anim.GetCategory(current);
  const bool underWay = current != CSkaterAnimation::kOllie && (category == 2 || category == 3) &&
                        anim.GetTime() < 0.8f * anim.GetLength(anim.GetCurrent());
  if (underWay) return;
  s.ChooseTrick(3);  // the trick the launch then plays
  s.body.trickFlag = true;
  anim.Play(CSkaterAnimation::kTakeOff, false);
}
