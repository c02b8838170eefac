#include "core/spatial/Octree.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/math/ViewFrustum.h"
#include "core/math/RayInfo.h"
#include "core/math/CullVolume.h"

namespace {

constexpr size_t kResultReserve = 100000;

// One counter for every tree: an object moved from one tree to another must never carry a
// stamp that the new tree is about to issue.
uint32_t g_queryStamp = 0;

bool BoxesTouch(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
         a.min.z <= b.max.z && b.min.z <= a.max.z;
}

int PopCount(uint32_t bits) {
  int n = 0;
  for (; bits != 0; bits &= bits - 1) ++n;
  return n;
}

bool IsDescendant(const COctreeNode* cell, const COctreeNode* ancestor) {
  for (const COctreeNode* c = cell->parent; c != nullptr; c = c->parent)
    if (c == ancestor) return true;
  return false;
}

}  // namespace

COctree::COctree(const Box& root) { MakeRoot(root); }

COctree::~COctree() { DestroyCells(); }

void COctree::MakeRoot(const Box& root) {
  m_rootBox = root;
  m_root = new COctreeNode();
  m_root->SetBox(root);
  m_root->SetVisibility(std::make_unique<OctreeVisibilityRecord>());
  m_root->visibility->flags = OctreeVisibilityRecord::kFreshRoot;
  m_stamp = 0;
  m_maxDepth = kDefaultMaxDepth;
  m_results.clear();
  m_results.reserve(kResultReserve);
}

void COctree::Create(const Box& root) {
  DestroyCells();
  MakeRoot(root);
}

void COctree::Reset(const Box& root) {
  if (m_skeleton != nullptr) DebugPrintf("Warning! Deleting Octree Skeleton - Is This Intent?\n");
  std::vector<CBoundedObject*> objects = TakeAllObjects();
  DestroyCells();
  MakeRoot(root);
  for (CBoundedObject* object : objects) InsertObject(object, kAnyGroup, kDefaultSplitDepth);
}

void COctree::Destroy() {
  DestroyCells();
  m_results = ObjectList();
}

void COctree::DestroyNodes() {
  const Box box = GetRootBox();
  DestroyCells();
  MakeRoot(box);
}

bool COctree::Contains(const CBoundedObject* object) const {
  return object != nullptr && object->m_octree == this;
}

// --- Cells ---

std::vector<CBoundedObject*> COctree::TakeAllObjects() {
  std::vector<CBoundedObject*> objects;
  CollectAll(&objects, 0);
  return objects;
}

void COctree::UnfileAll(COctreeNode* cell) {
  for (CBoundedObject* object : cell->objects) {
    object->ClearBoundFlags(CBoundedObject::kFiled);
    object->m_cellRefs.clear();
    object->m_octree = nullptr;
  }
  cell->objects.Clear();
  for (COctreeNode* child : cell->children)
    if (child != nullptr) UnfileAll(child);
}

void COctree::DeleteSubtree(COctreeNode* cell) {
  for (COctreeNode*& child : cell->children) {
    if (child == nullptr) continue;
    DeleteSubtree(child);
    child = nullptr;
  }
  if (!cell->IsSkeleton()) delete cell;
}

void COctree::DestroyCells() {
  if (m_root != nullptr) {
    UnfileAll(m_root);
    DeleteSubtree(m_root);
  }
  m_root = nullptr;
  m_skeleton.reset();
  m_skeletonCount = 0;
  m_objectCount = 0;
}

COctreeNode* COctree::CreateChild(COctreeNode* cell, uint32_t index) {
  COctreeNode* child = new COctreeNode();
  child->SetBox(cell->ChildBox(index));
  child->parent = cell;
  child->flags = (cell->GetDepth() + 1) | COctreeNode::kLeaf;
  cell->flags &= ~COctreeNode::kLeaf;
  cell->children[index] = child;
  return child;
}

uint32_t COctree::CountCells(const COctreeNode* cell, uint32_t mask) {
  uint32_t n = (cell->flags & mask) == mask ? 1 : 0;
  for (const COctreeNode* child : cell->children)
    if (child != nullptr) n += CountCells(child, mask);
  return n;
}

uint32_t COctree::CountNodes(uint32_t mask) const { return m_root != nullptr ? CountCells(m_root, mask) : 0; }

// --- Filing ---

bool COctree::PrepareInsert(CBoundedObject* object) {
  if (object == nullptr || m_root == nullptr) return false;
  if (object->m_octree != nullptr && object->m_octree != this) {
    DebugPrintf("COctree: object is filed in another tree; not filed\n");
    return false;
  }
  // Filing twice would list the object twice in a cell; refile it at its current bounds instead.
  if (object->m_octree == this) RemoveObject(object);
  object->AddBoundFlags(CBoundedObject::kFiled);
  object->m_octree = this;
  ++m_objectCount;
  return true;
}

uint32_t COctree::TargetDepth(const Box& box, uint32_t levels) const {
  const Vector3 size = box.max - box.min;
  Vector3 half = (m_root->bounds.max - m_root->bounds.min) * 0.5f;
  uint32_t k = 0;
  for (; k < levels; ++k) {
    double product = 1.0;
    for (int axis = 0; axis < 3; ++axis) {
      // A NaN size counts as large (the object stays high); a flat root axis holds only flat objects.
      const double ratio = half[axis] > 0.0f ? double(size[axis]) / half[axis] + 0.001 : (size[axis] > 0 ? 1e6 : 0.0);
      const double n = ratio >= 0.0 && ratio < 1e6 ? std::floor(ratio) : 1e6;
      product *= n + 1.0;
    }
    if (product > 15.0) break;
    half = half * 0.5f;
  }
  return k + 1;
}

bool COctree::InsideRoot(const Box& box) const { return m_root->bounds.ContainsBox(box); }

void COctree::InsertObject(CBoundedObject* object, uint32_t group, uint32_t splitDepth) {
  if (!PrepareInsert(object)) return;
  const Box& box = object->GetBounds();
  if (!InsideRoot(box)) return AddToCell(m_root, object);
  FileAt(m_root, object, TargetDepth(box, m_maxDepth), std::min(splitDepth, kDepthLimit));
}

void COctree::InsertObjectToDepth(CBoundedObject* object, uint32_t levelBound) {
  if (!PrepareInsert(object)) return;
  const Box& box = object->GetBounds();
  if (!InsideRoot(box)) return AddToCell(m_root, object);
  FileToDepth(m_root, object, static_cast<int>(TargetDepth(box, std::min(levelBound, kDepthLimit - 1))));
}

void COctree::InsertObjectAtDepth(CBoundedObject* object, uint32_t depth) {
  if (!PrepareInsert(object)) return;
  if (!InsideRoot(object->GetBounds())) return AddToCell(m_root, object);
  const uint32_t d = std::min(depth, kDepthLimit);
  FileAt(m_root, object, d, d);
}

void COctree::FileAt(COctreeNode* cell, CBoundedObject* object, uint32_t target, uint32_t split) {
  const uint32_t depth = cell->GetDepth();
  if (depth >= target || depth >= kDepthLimit) return AddToCell(cell, object);
  const uint8_t m = cell->ChildMask(object->GetBounds());
  if (depth >= split && PopCount(m) > 4) return AddToCell(cell, object);
  // Skeleton cells are fixed: filing follows them but never grows them, so a level restored from
  // its skeleton keeps exactly the cells that were saved. Cells below a skeleton cell still
  // appear when visibility records name them by code; pruning stops at the skeleton for those.
  if (depth < split && (object->GetBoundFlags() & CBoundedObject::kCreatesCells) != 0 && !cell->IsSkeleton()) {
    for (uint32_t i = 0; i < 8; ++i) {
      if ((m & (1u << i)) == 0) continue;
      COctreeNode* child = cell->children[i] != nullptr ? cell->children[i] : CreateChild(cell, i);
      FileAt(child, object, target, split);
    }
    return;
  }
  bool complete = !cell->IsLeaf();
  for (uint32_t i = 0; i < 8 && complete; ++i)
    if ((m & (1u << i)) != 0 && cell->children[i] == nullptr) complete = false;
  if (!complete) return AddToCell(cell, object);
  for (uint32_t i = 0; i < 8; ++i)
    if ((m & (1u << i)) != 0) FileAt(cell->children[i], object, target, split);
}

void COctree::FileToDepth(COctreeNode* cell, CBoundedObject* object, int levels) {
  const uint32_t depth = cell->GetDepth();
  const uint8_t m = cell->ChildMask(object->GetBounds());
  if ((levels < 1 && depth > 3) || (depth > 3 && PopCount(m) > 4) || depth >= kDepthLimit)
    return AddToCell(cell, object);
  if (cell->IsSkeleton()) {
    for (uint32_t i = 0; i < 8; ++i) {
      if ((m & (1u << i)) == 0) continue;
      if (cell->children[i] == nullptr || !cell->children[i]->IsSkeleton()) return AddToCell(cell, object);
    }
  }
  for (uint32_t i = 0; i < 8; ++i) {
    if ((m & (1u << i)) == 0) continue;
    COctreeNode* child = cell->children[i] != nullptr ? cell->children[i] : CreateChild(cell, i);
    FileToDepth(child, object, levels - 1);
  }
}

void COctree::AddToCell(COctreeNode* cell, CBoundedObject* object) {
  // Objects at the root are met by every query; many of them mean a root box that is too small.
  if (cell->parent == nullptr) DebugPrintf("Ojbect added to root\n");
  // The newest object comes first, so a first-hit ray within one cell finds the latest arrival.
  object->m_cellRefs.push_back({cell, cell->objects.PushFront(object)});
  cell->AddSubtreeFlags(object->GetBoundFlags());
}

void COctree::EraseFromCell(COctreeNode* cell, uint32_t slot) {
  cell->objects.Erase(slot);
  if (!cell->objects.WantsCompacting()) return;
  // An object is listed once per cell, so its reference to this cell is the one to move.
  cell->objects.Compact([cell](CBoundedObject* moved, uint32_t from, uint32_t to) {
    for (CBoundedObject::CellRef& ref : moved->m_cellRefs) {
      if (ref.cell == cell && ref.slot == from) {
        ref.slot = to;
        return;
      }
    }
  });
}

void COctree::DropRef(CBoundedObject* object, size_t refIndex) {
  std::vector<CBoundedObject::CellRef>& refs = object->m_cellRefs;
  EraseFromCell(refs[refIndex].cell, refs[refIndex].slot);
  refs[refIndex] = refs.back();
  refs.pop_back();
}

// --- Removal and pruning ---

void COctree::RemoveObject(CBoundedObject* object) {
  if (object == nullptr || object->m_octree != this) return;
  object->ClearBoundFlags(CBoundedObject::kFiled);
  object->m_octree = nullptr;
  --m_objectCount;
  std::vector<COctreeNode*> cells;
  cells.reserve(object->m_cellRefs.size());
  while (!object->m_cellRefs.empty()) {
    cells.push_back(object->m_cellRefs.back().cell);
    DropRef(object, object->m_cellRefs.size() - 1);
  }
  // Deepest first, and never touch a cell that an earlier prune already deleted.
  std::sort(cells.begin(), cells.end(),
            [](const COctreeNode* a, const COctreeNode* b) { return a->GetDepth() > b->GetDepth(); });
  std::vector<COctreeNode*> deleted;
  for (COctreeNode* cell : cells)
    if (std::find(deleted.begin(), deleted.end(), cell) == deleted.end()) Prune(cell, &deleted);
}

void COctree::UpdateObject(CBoundedObject* object, uint32_t group, uint32_t splitDepth) {
  RemoveObject(object);
  InsertObject(object, group, splitDepth);
}

bool COctree::Prunable(const COctreeNode* cell) const {
  if (cell->IsSkeleton() || cell->listed || cell->parent == nullptr) return false;
  if (!cell->objects.empty() || cell->HasChildren()) return false;
  if (cell->visibility != nullptr && !cell->visibility->cells.empty()) return false;
  return true;
}

void COctree::Prune(COctreeNode* cell, std::vector<COctreeNode*>* deleted) {
  while (Prunable(cell) && !cell->parent->IsSkeleton()) {
    COctreeNode* parent = cell->parent;
    for (COctreeNode*& child : parent->children)
      if (child == cell) child = nullptr;
    deleted->push_back(cell);
    delete cell;
    cell = parent;
  }
}

// --- Coarsening ---

void COctree::Coarsen(uint32_t limit) {
  if (m_root != nullptr) CoarsenCell(m_root, limit);
}

void COctree::CoarsenCell(COctreeNode* cell, uint32_t limit) {
  for (COctreeNode*& child : cell->children) {
    if (child == nullptr) continue;
    CoarsenCell(child, limit);
    if (child->objects.empty() && !child->HasChildren() && !child->IsSkeleton() && !child->listed &&
        (child->visibility == nullptr || child->visibility->cells.empty())) {
      delete child;
      child = nullptr;
    }
  }
  if (!cell->HasChildren()) cell->flags |= COctreeNode::kLeaf;
  if (cell->objects.size() < limit && cell->GetDepth() >= 4 && cell->parent != nullptr) MoveUp(cell);
}

void COctree::MoveUp(COctreeNode* cell) {
  COctreeNode* parent = cell->parent;
  // Dropping references may compact this cell's list, so the walk goes over a copy.
  const std::vector<CBoundedObject*> objects(cell->objects.begin(), cell->objects.end());
  for (CBoundedObject* object : objects) {
    bool inParent = false;
    for (size_t i = object->m_cellRefs.size(); i-- > 0;) {
      COctreeNode* at = object->m_cellRefs[i].cell;
      if (at == parent)
        inParent = true;
      else if (IsDescendant(at, parent))
        DropRef(object, i);
    }
    if (!inParent) AddToCell(parent, object);
  }
}

// --- Queries ---

COctree::ObjectList* COctree::Target(ObjectList* out) {
  if (out != nullptr) return out;
  m_results.clear();
  return &m_results;
}

uint32_t COctree::NextStamp() {
  m_stamp = ++g_queryStamp;
  return m_stamp;
}

bool COctree::Meet(CBoundedObject* object, uint32_t mask) const {
  if (object->m_queryStamp == m_stamp || !object->HasAllFlags(mask)) return false;
  object->m_queryStamp = m_stamp;
  return true;
}

void COctree::QueryBox(const Box& box, ObjectList* out, uint32_t mask) {
  ObjectList* list = Target(out);
  if (m_root == nullptr) return;
  NextStamp();
  BoxCell(m_root, box, list, mask, nullptr);
}

uint32_t COctree::CountInBox(const Box& box, uint32_t mask) {
  uint32_t count = 0;
  if (m_root == nullptr) return 0;
  NextStamp();
  BoxCell(m_root, box, nullptr, mask, &count);
  return count;
}

void COctree::BoxCell(COctreeNode* cell, const Box& box, ObjectList* out, uint32_t mask, uint32_t* count) {
  cell->visitStamp = m_stamp;
  for (CBoundedObject* object : cell->objects) {
    if (!Meet(object, mask) || !BoxesTouch(object->GetBounds(), box)) continue;
    if (count != nullptr)
      ++*count;
    else
      Report(out, object);
  }
  const uint8_t m = cell->ChildMask(box);
  for (uint32_t i = 0; i < 8; ++i) {
    // A subtree without the mask's flags holds nothing Meet would take.
    COctreeNode* child = cell->children[i];
    if ((m & (1u << i)) != 0 && child != nullptr && child->MayHoldAll(mask)) BoxCell(child, box, out, mask, count);
  }
}

void COctree::CollectAll(ObjectList* out, uint32_t mask) {
  ObjectList* list = Target(out);
  if (m_root == nullptr) return;
  NextStamp();
  TakeWhole(m_root, list, mask, true);
}

void COctree::TakeWhole(COctreeNode* cell, ObjectList* out, uint32_t mask, bool descend) {
  if (cell->parent != nullptr && cell->parent->visitStamp != m_stamp) TakeWhole(cell->parent, out, mask, false);
  if (cell->visitStamp == m_stamp) return;
  cell->visitStamp = m_stamp;
  for (CBoundedObject* object : cell->objects)
    if (Meet(object, mask)) Report(out, object);
  if (!descend) return;
  for (COctreeNode* child : cell->children)
    if (child != nullptr) TakeWhole(child, out, mask, true);
}

void COctree::TakeAncestors(COctreeNode* cell, ObjectList* out, uint32_t mask) {
  if (cell->parent != nullptr && cell->parent->visitStamp != m_stamp) TakeWhole(cell->parent, out, mask, false);
}

void COctree::TestObjects(COctreeNode* cell, const CullVolume& volume, ObjectList* out, uint32_t mask) {
  for (CBoundedObject* object : cell->objects)
    if (Meet(object, mask) && volume.ClassifyBox(object->GetBounds()) >= 0) Report(out, object);
}

void COctree::QueryVolume(const CullVolume* volume, ObjectList* out, uint32_t mask, uint32_t depth) {
  ObjectList* list = Target(out);
  if (m_root == nullptr) return;
  NextStamp();
  if (volume == nullptr) return TakeWhole(m_root, list, mask, true);
  VolumeCell(m_root, *volume, list, mask, depth);
}

void COctree::QueryVolume(const CullVolume* volume, uint32_t mask, int depth) {
  QueryVolume(volume, nullptr, mask, depth > 0 ? static_cast<uint32_t>(depth) : 0u);
}

void COctree::VolumeCell(COctreeNode* cell, const CullVolume& volume, ObjectList* out, uint32_t mask,
                         uint32_t depth) {
  const int32_t side = volume.ClassifyBox(cell->bounds);
  if (side < 0) {
    // Objects beyond the root's box are listed at the root; they may still be in view.
    if (cell == m_root) TestObjects(cell, volume, out, mask);
    return;
  }
  if (side > 0 || depth == 0) return TakeWhole(cell, out, mask, true);
  TakeAncestors(cell, out, mask);
  TestObjects(cell, volume, out, mask);
  for (COctreeNode* child : cell->children)
    if (child != nullptr) VolumeCell(child, volume, out, mask, depth - 1);
}

// --- Ray, any-in-box and sphere queries ---

namespace {

// The nearest object a scan of candidates accepted, with the answer the query gave for it.
struct NearestHit {
  CBoundedObject* best = nullptr;
  IntersectionResult bestResult{};
  Vector3 bestNormal{};

  // Keeps `object` when it is the first accepted or strictly nearer than the one kept, so the
  // first in scan order wins a tie.
  void Offer(CBoundedObject* object, const GenericIntersection& query) {
    if (best != nullptr && !(query.result.time < bestResult.time)) return;
    best = object;
    bestResult = query.result;
    bestNormal = query.normal;
  }
};

}  // namespace

struct COctree::RayState : NearestHit {
  RayInfo* ray;
  uint32_t mask;
  bool nearest;
  Vector3 delta;
  float slack;  // cells are widened by this much so hits on their faces are never lost
};

namespace {

// Fraction interval [enter, leave] of the segment inside the box; false when it misses.
bool SegmentSpan(const Vector3& start, const Vector3& delta, const Box& box, float slack, float& enter,
                 float& leave) {
  float lo = 0.0f, hi = 1.0f;
  for (int axis = 0; axis < 3; ++axis) {
    const float bmin = box.min[axis] - slack, bmax = box.max[axis] + slack;
    const float s = start[axis], d = delta[axis];
    if (d == 0.0f) {
      if (s < bmin || s > bmax) return false;
      continue;
    }
    float t0 = (bmin - s) / d, t1 = (bmax - s) / d;
    if (t0 > t1) std::swap(t0, t1);
    lo = std::max(lo, t0);
    hi = std::min(hi, t1);
    if (lo > hi) return false;
  }
  enter = lo;
  leave = hi;
  return true;
}

}  // namespace

bool COctree::RayObjects(COctreeNode* cell, RayState& state) {
  cell->visitStamp = m_stamp;
  RayInfo& ray = *state.ray;
  for (CBoundedObject* object : cell->objects) {
    if (!Meet(object, state.mask)) continue;
    if (m_rayExclusion != nullptr && object->GetOwnerInstance() == m_rayExclusion) continue;
    ray.result.Reset();
    if (!ray.IntersectBox(object->GetBounds())) continue;
    ray.result.Reset();
    if (!object->Intersect(&ray)) continue;
    if (!state.nearest) {
      state.best = object;
      return true;
    }
    state.Offer(object, ray);
  }
  return false;
}

bool COctree::RayCell(COctreeNode* cell, RayState& state) {
  if (RayObjects(cell, state)) return true;
  const RayInfo& ray = *state.ray;
  // Children front to back; a child that starts beyond the best hit so far cannot hold a nearer one.
  float enter[8];
  uint32_t order[8];
  uint32_t n = 0;
  for (uint32_t i = 0; i < 8; ++i) {
    COctreeNode* child = cell->children[i];
    float in, out;
    if (child == nullptr || !child->MayHoldAll(state.mask) ||
        !SegmentSpan(ray.start, state.delta, child->bounds, state.slack, in, out))
      continue;
    uint32_t k = n++;
    for (; k > 0 && enter[k - 1] > in; --k) {
      enter[k] = enter[k - 1];
      order[k] = order[k - 1];
    }
    enter[k] = in;
    order[k] = i;
  }
  for (uint32_t k = 0; k < n; ++k) {
    if (state.best != nullptr && enter[k] > state.bestResult.time) break;
    if (RayCell(cell->children[order[k]], state)) return true;
  }
  return false;
}

bool COctree::RayQuery(RayInfo& ray, CBoundedObject** hit, uint32_t mask, bool nearest, float step) {
  if (hit != nullptr) *hit = nullptr;
  if (m_root == nullptr) return false;
  NextStamp();
  RayState state;
  state.ray = &ray;
  state.mask = mask;
  state.nearest = nearest;
  state.delta = ray.end - ray.start;
  const Vector3 extent = m_root->bounds.max - m_root->bounds.min;
  state.slack = 1e-5f * std::max(std::max(std::fabs(extent.x), std::fabs(extent.y)), std::fabs(extent.z)) + 1e-6f;
  float in, out;
  if (SegmentSpan(ray.start, state.delta, m_root->bounds, state.slack, in, out)) {
    RayCell(m_root, state);
  } else {
    RayObjects(m_root, state);  // the root's own list also holds objects beyond its box
  }
  if (state.best == nullptr) {
    ray.result.Reset();
    return false;
  }
  if (nearest) {
    ray.result = state.bestResult;
    ray.normal = state.bestNormal;
  }
  if (hit != nullptr) *hit = state.best;
  return true;
}

bool COctree::AnyInBox(GenericIntersection& query, CBoundedObject** hit, uint32_t mask, bool nearest) {
  if (hit != nullptr) *hit = nullptr;
  Box bounds;
  query.GetBounds(bounds);
  QueryBox(bounds, nullptr, mask);
  NearestHit nearestHit;
  for (CBoundedObject* object : m_results) {
    query.result.Reset();
    if (!object->Intersect(&query)) continue;
    if (!nearest) return true;
    nearestHit.Offer(object, query);
  }
  if (nearestHit.best == nullptr) return false;
  query.result = nearestHit.bestResult;
  query.normal = nearestHit.bestNormal;
  if (hit != nullptr) *hit = nearestHit.best;
  return true;
}

bool COctree::QuerySphere(GenericIntersection& query, CBoundedObject** hit, uint32_t mask) {
  if (hit != nullptr) *hit = nullptr;
  Box bounds;
  query.GetBounds(bounds);
  QueryBox(bounds, nullptr, mask);
  NearestHit nearestHit;
  nearestHit.bestResult.Reset();
  for (CBoundedObject* object : m_results) {
    query.result.time = FLT_MAX;
    // A query asked for no details may accept without writing a time: the first such one stays.
    if (object->Intersect(&query)) nearestHit.Offer(object, query);
  }
  query.result = nearestHit.bestResult;
  if (nearestHit.best == nullptr) return false;
  query.normal = nearestHit.bestNormal;
  if (hit != nullptr) *hit = nearestHit.best;
  return true;
}
