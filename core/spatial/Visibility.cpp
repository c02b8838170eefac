// COctree's skeleton block and visibility records: the precomputed layers a level lays over the cells.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/data/LittleEndian.h"
#include "core/spatial/Octree.h"
#include "core/math/ViewFrustum.h"
#include "core/math/CullVolume.h"

using le::PutF32;
using le::PutU32;
using le::ReadF32;
using le::ReadU32;

namespace {

constexpr uint32_t kSkeletonVersion = 1;
// Flag bits a skeleton entry may carry; a record bit without its record would lie.
constexpr uint32_t kSkeletonFlagBits = COctreeNode::kDepthMask | COctreeNode::kLeaf | COctreeNode::kSkeleton;

// Depth of the cell a code names (0 for the root).
uint32_t CodeDepth(uint32_t code) {
  uint32_t depth = 0;
  for (; code != 0; code = (code - 1) / 8) ++depth;
  return depth;
}

void PreOrder(const COctreeNode* cell, std::vector<const COctreeNode*>& out) {
  out.push_back(cell);
  for (const COctreeNode* child : cell->children)
    if (child != nullptr) PreOrder(child, out);
}

// Walks the entries in pre-order without building anything: every child bit must name a further
// entry, every depth must match its place and stay within the limit, and the entries must be used up.
bool CheckEntries(const uint8_t* entries, uint32_t count, uint32_t& next, uint32_t depth, uint32_t depthLimit) {
  if (next >= count) return false;
  const uint8_t* e = entries + size_t(next) * 8;
  ++next;
  const uint32_t flags = ReadU32(e);
  const uint32_t childBits = ReadU32(e + 4);
  if ((flags & COctreeNode::kDepthMask) != depth || childBits > 0xFF) return false;
  if (childBits != 0 && depth >= depthLimit) return false;
  for (uint32_t i = 0; i < 8; ++i)
    if ((childBits & (1u << i)) != 0 && !CheckEntries(entries, count, next, depth + 1, depthLimit)) return false;
  return true;
}

}  // namespace

// --- Skeleton ---

std::vector<uint8_t> COctree::SaveSkeleton(const uint8_t* identity) const {
  std::vector<uint8_t> block;
  if (m_root == nullptr || identity == nullptr) return block;
  std::vector<const COctreeNode*> cells;
  PreOrder(m_root, cells);
  block.reserve(kSkeletonHeaderSize + 8 * cells.size());
  PutU32(block, kSkeletonVersion);
  block.insert(block.end(), identity, identity + kIdentitySize);
  const Box& box = m_root->bounds;
  for (float f : {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z}) PutF32(block, f);
  PutU32(block, static_cast<uint32_t>(cells.size()));
  PutU32(block, m_maxDepth);
  for (const COctreeNode* cell : cells) {
    uint32_t childBits = 0;
    for (uint32_t i = 0; i < 8; ++i)
      if (cell->children[i] != nullptr) childBits |= 1u << i;
    PutU32(block, (cell->flags & kSkeletonFlagBits) | COctreeNode::kSkeleton);
    PutU32(block, childBits);
  }
  return block;
}

bool COctree::LoadSkeleton(const uint8_t* data, size_t size, const uint8_t* identity) {
  if (data == nullptr || identity == nullptr || size < kSkeletonHeaderSize) {
    DebugPrintf("COctree: skeleton block too short\n");
    return false;
  }
  if (ReadU32(data) != kSkeletonVersion || std::memcmp(data + 4, identity, kIdentitySize) != 0) {
    DebugPrintf("COctree: skeleton block of another version or level\n");
    return false;
  }
  float v[6];
  for (int i = 0; i < 6; ++i) v[i] = ReadF32(data + 20 + 4 * i);
  const Box box(Vector3(v[0], v[1], v[2]), Vector3(v[3], v[4], v[5]));
  const uint32_t count = ReadU32(data + 44);
  const uint32_t maxDepth = ReadU32(data + 48);
  bool valid = maxDepth >= 1 && maxDepth < kDepthLimit && count >= 1 &&
               count <= (size - kSkeletonHeaderSize) / 8 && size == kSkeletonHeaderSize + size_t(count) * 8;
  for (int i = 0; i < 3 && valid; ++i) valid = std::isfinite(v[i]) && std::isfinite(v[i + 3]) && v[i] <= v[i + 3];
  const uint8_t* entries = data + kSkeletonHeaderSize;
  uint32_t used = 0;
  if (!valid || !CheckEntries(entries, count, used, 0, kDepthLimit) || used != count) {
    DebugPrintf("COctree: skeleton block is corrupt\n");
    return false;
  }

  std::vector<CBoundedObject*> objects = TakeAllObjects();
  DestroyCells();
  m_skeleton = std::make_unique<COctreeNode[]>(count);
  m_skeletonCount = count;
  m_stamp = 0;
  m_maxDepth = maxDepth;
  m_rootBox = box;
  m_root = &m_skeleton[0];
  m_root->SetBox(box);
  // Entries were checked above, so the pre-order walk below stays inside the block.
  uint32_t next = 1;
  std::vector<COctreeNode*> stack{m_root};
  std::vector<uint32_t> pending{ReadU32(entries + 4)};
  m_root->flags = (ReadU32(entries) & kSkeletonFlagBits) | COctreeNode::kSkeleton;
  while (!stack.empty()) {
    COctreeNode* cell = stack.back();
    uint32_t& bits = pending.back();
    if (bits == 0) {
      stack.pop_back();
      pending.pop_back();
      continue;
    }
    const uint32_t index = static_cast<uint32_t>(__builtin_ctz(bits));
    bits &= bits - 1;
    COctreeNode* child = &m_skeleton[next];
    const uint8_t* e = entries + size_t(next) * 8;
    ++next;
    child->SetBox(cell->ChildBox(index));
    child->parent = cell;
    child->flags = (ReadU32(e) & kSkeletonFlagBits) | COctreeNode::kSkeleton;
    cell->flags &= ~COctreeNode::kLeaf;
    cell->children[index] = child;
    stack.push_back(child);
    pending.push_back(ReadU32(e + 4));
  }
  m_root->SetVisibility(std::make_unique<OctreeVisibilityRecord>());
  m_root->visibility->flags = OctreeVisibilityRecord::kFreshRoot;
  m_results.clear();
  m_results.reserve(100000);
  for (CBoundedObject* object : objects) InsertObject(object, kAnyGroup, kDefaultSplitDepth);
  return true;
}

// --- Visibility records ---

COctreeNode* COctree::FindCellByCode(uint32_t code, bool create) {
  if (m_root == nullptr || CodeDepth(code) > std::min(m_maxDepth + 1, kDepthLimit)) return nullptr;
  uint32_t path[kDepthLimit];
  uint32_t depth = 0;
  for (; code != 0; code = (code - 1) / 8) path[depth++] = (code - 1) % 8;
  COctreeNode* cell = m_root;
  while (depth > 0) {
    const uint32_t index = path[--depth];
    if (cell->children[index] == nullptr) {
      if (!create) return nullptr;
      CreateChild(cell, index);
    }
    cell = cell->children[index];
  }
  return cell;
}

bool COctree::LoadVisibility(const uint8_t* data, size_t size) {
  if (m_root == nullptr || data == nullptr || size < 4) {
    DebugPrintf("COctree: visibility data missing or too short\n");
    return false;
  }
  // First pass: every record must fit the buffer and name cells the tree may hold.
  const uint32_t records = ReadU32(data);
  const uint32_t deepest = std::min(m_maxDepth + 1, kDepthLimit);
  size_t pos = 4;
  bool valid = records <= (size - 4) / 16;
  for (uint32_t r = 0; r < records && valid; ++r) {
    if (size - pos < 16) {
      valid = false;
      break;
    }
    const uint32_t n = ReadU32(data + pos + 8);
    valid = CodeDepth(ReadU32(data + pos)) <= deepest && n <= (size - pos - 16) / 4;
    pos += 16;
    for (uint32_t i = 0; i < n && valid; ++i) valid = CodeDepth(ReadU32(data + pos + 4 * size_t(i))) <= deepest;
    pos += 4 * size_t(n);
  }
  if (!valid || pos != size) {
    DebugPrintf("COctree: visibility data is corrupt\n");
    return false;
  }
  // Checked whole: only now do the new records replace the old ones.
  ClearVisibility();
  pos = 4;
  for (uint32_t r = 0; r < records; ++r) {
    COctreeNode* cell = FindCellByCode(ReadU32(data + pos), true);
    auto record = std::make_unique<OctreeVisibilityRecord>();
    record->flags = ReadU32(data + pos + 4);
    const uint32_t n = ReadU32(data + pos + 8);
    pos += 16;
    record->cells.reserve(n);
    for (uint32_t i = 0; i < n; ++i, pos += 4) {
      COctreeNode* seen = FindCellByCode(ReadU32(data + pos), true);
      seen->listed = true;  // records point at it: it must stay until they go
      record->cells.push_back(seen);
    }
    cell->SetVisibility(std::move(record));
  }
  return true;
}

namespace {

void ClearRecords(COctreeNode* cell) {
  cell->SetVisibility(nullptr);
  cell->listed = false;
  for (COctreeNode* child : cell->children)
    if (child != nullptr) ClearRecords(child);
}

}  // namespace

void COctree::ClearVisibility() {
  if (m_root != nullptr) ClearRecords(m_root);
}

// The cells listed by the records along the eye's path, shallowest first: a cell taken before its
// ancestor would stamp that ancestor and keep the ancestor's other subtrees from being taken.
std::vector<COctreeNode*> COctree::RecordedCells(const Vector3& eye) const {
  std::vector<COctreeNode*> cells;
  for (COctreeNode* cell = m_root; cell != nullptr; cell = cell->children[cell->ChildIndexOf(eye)]) {
    if (cell->visibility != nullptr)
      cells.insert(cells.end(), cell->visibility->cells.begin(), cell->visibility->cells.end());
  }
  std::stable_sort(cells.begin(), cells.end(),
                   [](const COctreeNode* a, const COctreeNode* b) { return a->GetDepth() < b->GetDepth(); });
  return cells;
}

void COctree::QueryVisible(const Vector3& eye, const CullVolume* volume, ObjectList* out, uint32_t mask,
                           uint32_t depth) {
  ObjectList* list = Target(out);
  if (m_root == nullptr) return;
  NextStamp();
  if (volume == nullptr) return TakeWhole(m_root, list, mask, true);
  if (!m_root->bounds.ContainsBox(Box(eye, eye)))
    return VolumeCell(m_root, *volume, list, mask, kOutsideRootQueryDepth);
  // The root's own objects are met here; the root itself stays unstamped so that a record listing
  // the root still walks its subtree.
  TestObjects(m_root, *volume, list, mask);
  for (COctreeNode* cell : RecordedCells(eye)) {
    if (cell->visitStamp == m_stamp) continue;
    const uint32_t cellDepth = cell->GetDepth();
    VolumeCell(cell, *volume, list, mask, cellDepth < depth ? depth - cellDepth : 0);
  }
}

void COctree::QueryVisible(const ViewFrustum* view, uint32_t mask, int depth) {
  if (view == nullptr) return CollectAll(nullptr, mask);
  QueryVisible(view->GetFrame().GetPosition(), view->GetCullVolume(), nullptr, mask,
               depth > 0 ? static_cast<uint32_t>(depth) : 0u);
}

void COctree::CollectVisible(const Vector3& eye, ObjectList* out, uint32_t mask) {
  if (m_root == nullptr || !m_root->bounds.ContainsBox(Box(eye, eye))) return CollectAll(out, mask);
  ObjectList* list = Target(out);
  NextStamp();
  for (COctreeNode* cell : RecordedCells(eye)) TakeWhole(cell, list, mask, true);
}
