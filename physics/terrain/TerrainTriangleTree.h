// TriTree: box tree over the world-space collision tessellation of one curved terrain patch, held in a small LRU cache.
#pragma once

#include <cfloat>
#include <cstdint>
#include <list>
#include <vector>

#include "core/math/Box.h"
#include "core/math/Orientation.h"
#include "core/math/GenericIntersection.h"
#include "physics/terrain/TerrainTriangleTreeNode.h"
#include "physics/terrain/TerrainTriangleTreeTriangle.h"
#include "physics/terrain/TerrainTriangleTreeVertex.h"

class CurvedPatch;
class CurvedPatchInstance;

// Patches have no fixed triangles, so a query that reaches one tessellates it at its
// collision levels and builds this tree. Only the patches queries actually reach hold a
// tree: the trees live in a process-wide cache of slots reused least recently used first.
// Main thread only; the cache is not guarded.
class TriTree {
 public:
  static constexpr uint32_t kDefaultCacheSize = 64;
  // Slot numbers are 16 bits wide with 0xFFFF meaning none.
  static constexpr uint32_t kMaxCacheSize = 0xFFFF;

  // The slot holding the patch's tree, built when no slot holds it or when the one that
  // does was built from other patch data, levels or placement (a moved instance gets a
  // fresh tree instead of its old world-space one).
  // Null (logged) for a null owner, an owner without collision levels or a patch index past
  // its patches. The pointer stays valid until the next ensureBuilt, SetCacheSize,
  // FreeCache or ReleaseOwner.
  static TriTree* ensureBuilt(const CurvedPatchInstance* owner, uint32_t patch);

  // Runs the query's one-sided IntersectPolygon over every triangle whose box meets the
  // query's bounds; keeps the nearest hit, with (u, v) turned from the triangle's
  // barycentric pair into patch parameters. Without a hit the query's time is FLT_MAX, its
  // (u, v) 0 and its normal as before. Query needs GetBounds(Box&), IntersectPolygon(a, b,
  // k, n, parallelogram, box) and the result and normal fields of GenericIntersection.
  template <class Query>
  static bool query(const TriTree& tree, Query& q);

  // Calls visit(triangle index) for every triangle whose box meets `box` (touching counts),
  // reaching them through the node boxes.
  template <class Visit>
  void ForEachTriangleInBox(const Box& box, Visit&& visit) const;

  // Fills this slot from the owner's patch: tessellation at the collision levels, world
  // positions, triangle boxes and normals, then the box tree. False when the owner or the
  // patch does not qualify (see ensureBuilt); the slot is then left free.
  bool build(const CurvedPatchInstance* owner, uint32_t patch);

  // Frees every slot and sets the slot count for the next allocation (1 to kMaxCacheSize;
  // other counts are refused, logged, and change nothing).
  static bool SetCacheSize(uint32_t n);
  // Frees every slot; the next ensureBuilt allocates anew.
  static void FreeCache();
  // Frees the slots built for this owner; owners (and tools with a temporary owner) call it
  // before they go away so their slots are the next reused. A tree is never handed to a
  // later owner at the same address anyway unless it was made of the same patch data,
  // collision levels and placement.
  static void ReleaseOwner(const CurvedPatchInstance* owner);

  // Builds done since the program started (for checking cache reuse).
  static uint32_t GetBuildCount();
  static uint32_t GetCacheSize();

  const CurvedPatchInstance* GetOwner() const { return m_owner; }
  int32_t GetPatch() const { return m_patch; }
  const std::vector<TriTreeVertex>& GetVertices() const { return m_vertices; }
  const std::vector<TriTreeTriangle>& GetTriangles() const { return m_triangles; }
  const std::vector<TriTreeNode>& GetNodes() const { return m_nodes; }

  // Touching boxes meet; a box with a NaN bound meets nothing.
  static bool BoxesMeet(const Box& a, const Box& b) {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
           a.min.z <= b.max.z && b.min.z <= a.max.z;
  }

 private:
  friend struct TriTreeCache;

  void MakeFree();
  bool BuiltFor(const CurvedPatchInstance* owner, uint32_t patch, const COrientation& world) const;
  void BuildNodes();

  const CurvedPatchInstance* m_owner = nullptr;
  int32_t m_patch = -1;
  std::list<uint16_t>::iterator m_lruPosition;
  std::vector<TriTreeVertex> m_vertices;
  std::vector<TriTreeTriangle> m_triangles;
  std::vector<TriTreeNode> m_nodes;  // node 0 is the root; none when there are no triangles
  // What the tree was made from, so that a moved owner, or another owner at a freed owner's
  // address, is never handed a tree of other geometry.
  const CurvedPatch* m_patchData = nullptr;
  uint8_t m_segments[4] = {0, 0, 0, 0};
  COrientation m_world;
};

template <class Visit>
void TriTree::ForEachTriangleInBox(const Box& box, Visit&& visit) const {
  if (m_nodes.empty()) return;
  // A stack per call: its depth follows the tree, and a visit may start another walk.
  std::vector<uint16_t> stack;
  stack.reserve(32);
  stack.push_back(0);
  while (!stack.empty()) {
    const TriTreeNode& node = m_nodes[stack.back()];
    stack.pop_back();
    if (!BoxesMeet(node.box, box)) continue;
    for (const TriTreeNode::Entry& e : node.entries) {
      if (e.kind == TriTreeNode::kChild) {
        stack.push_back(e.index);
      } else if (BoxesMeet(m_triangles[e.index].box, box)) {
        visit(static_cast<uint32_t>(e.index));
      }
    }
  }
}

template <class Query>
bool TriTree::query(const TriTree& tree, Query& q) {
  const Vector3 savedNormal = q.normal;
  IntersectionResult best = q.result;
  best.Reset();
  Vector3 bestNormal = savedNormal;
  Box bounds;
  q.GetBounds(bounds);
  tree.ForEachTriangleInBox(bounds, [&](uint32_t index) {
    const TriTreeTriangle& tri = tree.m_triangles[index];
    const TriTreeVertex& a = tree.m_vertices[tri.corners[0]];
    const TriTreeVertex& b = tree.m_vertices[tri.corners[1]];
    const TriTreeVertex& c = tree.m_vertices[tri.corners[2]];
    if (!q.IntersectPolygon(a.position, b.position, c.position, tri.normal, false, nullptr)) return;
    if (!(q.result.time < best.time)) return;
    const float s = q.result.u, t = q.result.v;
    best = q.result;
    best.u = a.u + (b.u - a.u) * s + (c.u - a.u) * t;
    best.v = a.v + (b.v - a.v) * s + (c.v - a.v) * t;
    bestNormal = q.normal;
  });
  // The polygon tests write their records before their range checks, so a miss must not
  // leave the last triangle's numbers behind.
  q.result = best;
  q.normal = bestNormal;
  return best.time < FLT_MAX;
}
