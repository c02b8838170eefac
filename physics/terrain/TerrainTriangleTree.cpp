// TriTree: the slot cache, building a patch's tessellation in world space and splitting it into a box tree.
#include "physics/terrain/TerrainTriangleTree.h"

#include <cstring>
#include <functional>
#include <unordered_map>
#include <utility>

#include "core/data/DebugPrintf.h"
#include "platform/system/Win32.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/mesh/MeshInstance.h"

// Process-wide slot cache: slots, least-recently-used order (front = next to reuse) and the
// slot that holds each (owner, patch). The lookup table stands in for a slot number kept in
// the owner: it can hold no more keys than there are slots, and it is emptied with them.
struct TriTreeCache {
  using Key = std::pair<const CurvedPatchInstance*, uint32_t>;
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return std::hash<const void*>()(k.first) ^ (std::hash<uint32_t>()(k.second) * 0x9E3779B97F4A7C15ull);
    }
  };

  std::vector<TriTree> slots;
  std::list<uint16_t> lru;
  std::unordered_map<Key, uint16_t, KeyHash> index;
  uint32_t size = TriTree::kDefaultCacheSize;
  uint32_t builds = 0;

  void Allocate() {
    slots.assign(size, TriTree());
    lru.clear();
    for (uint32_t i = 0; i < size; ++i) slots[i].m_lruPosition = lru.insert(lru.end(), static_cast<uint16_t>(i));
  }
  void Free() {
    std::vector<TriTree>().swap(slots);
    lru.clear();
    index.clear();
  }
  void Forget(uint16_t slot) {
    TriTree& tree = slots[slot];
    if (tree.m_owner) {
      auto it = index.find(Key(tree.m_owner, static_cast<uint32_t>(tree.m_patch)));
      if (it != index.end() && it->second == slot) index.erase(it);
    }
    tree.MakeFree();
  }
  void Touch(uint16_t slot) { lru.splice(lru.end(), lru, slots[slot].m_lruPosition); }
};

namespace {

TriTreeCache& Cache() {
  static TriTreeCache cache;
  return cache;
}

bool SameFrame(const COrientation& a, const COrientation& b) {
  for (int i = 0; i < 3; ++i) {
    if (!(a.axes.m[i] == b.axes.m[i])) return false;
  }
  return a.position == b.position;
}

// The frame the owner's instance stands in now (brought up to date first); identity without one.
COrientation WorldOf(const CurvedPatchInstance* owner) {
  CMeshInstance* instance = owner->GetInstance();
  return instance ? instance->GetWorldMatrix() : COrientation();
}

bool Qualifies(const CurvedPatchInstance* owner, uint32_t patch) {
  if (!owner || !owner->GetPatches() || !owner->HasCollision() || patch >= owner->GetPatchCount()) {
    DebugPrintf("TriTree: no collision tessellation for patch %u\n", patch);
    return false;
  }
  return true;
}

void AddToCandidate(TriTreeNode& node, uint16_t triangle, const Box& box) {
  node.box = node.entries.empty() ? box : node.box.Union(box);
  node.entries.push_back({triangle, TriTreeNode::kTriangle, 0});
}

}  // namespace

TriTree* TriTree::ensureBuilt(const CurvedPatchInstance* owner, uint32_t patch) {
  if (!Qualifies(owner, patch)) return nullptr;
  TriTreeCache& cache = Cache();
  if (cache.slots.empty()) cache.Allocate();
  const TriTreeCache::Key key(owner, patch);
  const COrientation world = WorldOf(owner);
  uint16_t slot;
  auto found = cache.index.find(key);
  if (found != cache.index.end()) {
    slot = found->second;
    if (!cache.slots[slot].BuiltFor(owner, patch, world)) {
      // Same patch, but the instance moved or its patch data changed: rebuild in place.
      cache.Forget(slot);
      if (!cache.slots[slot].build(owner, patch)) return nullptr;
      cache.index[key] = slot;
    }
  } else {
    slot = cache.lru.front();
    cache.Forget(slot);
    if (!cache.slots[slot].build(owner, patch)) return nullptr;
    cache.index[key] = slot;
  }
  cache.Touch(slot);
  return &cache.slots[slot];
}

bool TriTree::BuiltFor(const CurvedPatchInstance* owner, uint32_t patch, const COrientation& world) const {
  return m_owner == owner && m_patch == static_cast<int32_t>(patch) && m_patchData == owner->GetPatches() &&
         std::memcmp(m_segments, owner->GetCollisionLOD(patch).segments, sizeof(m_segments)) == 0 &&
         SameFrame(m_world, world);
}

void TriTree::MakeFree() {
  m_owner = nullptr;
  m_patch = -1;
  m_patchData = nullptr;
  m_vertices.clear();
  m_triangles.clear();
  m_nodes.clear();
}

bool TriTree::build(const CurvedPatchInstance* owner, uint32_t patch) {
  MakeFree();
  if (!Qualifies(owner, patch)) return false;
  ++Cache().builds;
  const CurvedPatch* data = owner->GetPatches();
  const COrientation world = WorldOf(owner);

  // The counts come from the tessellator itself rather than the stored record, so the
  // arrays always hold what it writes.
  CurvedPatchLOD lod = owner->GetCollisionLOD(patch);
  CurvedPatchInstance::Tessellate(lod, nullptr, 0, nullptr, 0);
  m_vertices.resize(lod.vertexCount);
  m_triangles.resize(lod.triangleCount);
  if (!m_triangles.empty()) {
    CurvedPatchInstance::Tessellate(lod, m_triangles.data(), sizeof(TriTreeTriangle), m_vertices.data(),
                                    sizeof(TriTreeVertex));
  }
  for (TriTreeVertex& v : m_vertices) v.position = world.LocalToWorldPoint(data->Evaluate(patch, v.u, v.v));
  for (TriTreeTriangle& t : m_triangles) {
    for (uint16_t c : t.corners) {
      if (c >= m_vertices.size()) {
        DebugPrintf("TriTree: tessellation of patch %u names a missing vertex\n", patch);
        MakeFree();
        return false;
      }
    }
    const Vector3& p0 = m_vertices[t.corners[0]].position;
    const Vector3& p1 = m_vertices[t.corners[1]].position;
    const Vector3& p2 = m_vertices[t.corners[2]].position;
    t.normal = (p2 - p0).Cross(p1 - p0);
    const float length = t.normal.Length();
    if (length != 0.0f) t.normal = t.normal * (1.0f / length);
    t.box.SetFromTriangle(p0, p1, p2);
  }
  m_owner = owner;
  m_patch = static_cast<int32_t>(patch);
  m_patchData = data;
  std::memcpy(m_segments, lod.segments, sizeof(m_segments));
  m_world = world;
  BuildNodes();
  return true;
}

void TriTree::BuildNodes() {
  // No triangles, no root: a box made of nothing would be undefined, and queries then
  // simply find nothing.
  if (m_triangles.empty()) return;
  TriTreeNode root;
  for (size_t i = 0; i < m_triangles.size(); ++i) AddToCandidate(root, static_cast<uint16_t>(i), m_triangles[i].box);
  m_nodes.push_back(std::move(root));

  // Each split leaves at least two triangles on either side, so every child holds fewer
  // than its parent and the work ends; there are fewer than twice as many nodes as triangles.
  std::vector<uint16_t> stack{0};
  while (!stack.empty()) {
    const uint16_t n = stack.back();
    stack.pop_back();
    const Box box = m_nodes[n].box;
    const Vector3 extent = box.max - box.min;
    const Vector3 centre = box.min + extent * 0.5f;
    const int axis = (extent.x >= extent.y && extent.x >= extent.z) ? 0 : (extent.y >= extent.z ? 1 : 2);
    TriTreeNode first, second;
    for (const TriTreeNode::Entry& e : m_nodes[n].entries) {
      const Box& tb = m_triangles[e.index].box;
      const float triangleCentre = tb.min[axis] + (tb.max[axis] - tb.min[axis]) * 0.5f;
      AddToCandidate(triangleCentre - centre[axis] > 0.0f ? first : second, e.index, tb);
    }
    if (first.entries.size() < 2 || second.entries.size() < 2) continue;
    const uint16_t child = static_cast<uint16_t>(m_nodes.size());
    m_nodes[n].entries = {{child, TriTreeNode::kChild, 0}, {static_cast<uint16_t>(child + 1), TriTreeNode::kChild, 0}};
    m_nodes.push_back(std::move(first));
    m_nodes.push_back(std::move(second));
    stack.push_back(child);
    stack.push_back(static_cast<uint16_t>(child + 1));
  }
}

bool TriTree::SetCacheSize(uint32_t n) {
  if (n == 0 || n > kMaxCacheSize) {
    DebugPrintf("TriTree: cache size %u refused\n", n);
    return false;
  }
  Cache().Free();
  Cache().size = n;
  return true;
}

void TriTree::FreeCache() { Cache().Free(); }

void TriTree::ReleaseOwner(const CurvedPatchInstance* owner) {
  TriTreeCache& cache = Cache();
  for (size_t i = 0; i < cache.slots.size(); ++i) {
    if (cache.slots[i].m_owner != owner || !owner) continue;
    cache.Forget(static_cast<uint16_t>(i));
    // A freed slot is the first to be reused.
    cache.lru.splice(cache.lru.begin(), cache.lru, cache.slots[i].m_lruPosition);
  }
}

uint32_t TriTree::GetBuildCount() { return Cache().builds; }
uint32_t TriTree::GetCacheSize() { return Cache().size; }
