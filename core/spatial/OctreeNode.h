// COctreeNode: one cell of an octree: its cube, children, the objects filed in it and its visibility record.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/math/Box.h"
#include "core/spatial/OctreeCellList.h"
#include "core/math/Vector3.h"

class CBoundedObject;
struct COctreeNode;

// The cells that can be seen from anywhere inside the cell that carries the record.
struct OctreeVisibilityRecord {
  // Bits of the flag word, which is kept as read; the queries do not look at them.
  enum Flag : uint32_t {
    kFreshRoot = 0x1,  // the record the tree itself gives a new root
    kSeesSky = 0x4,    // the sky can be seen from the cell
  };

  uint32_t flags = 0;
  std::vector<COctreeNode*> cells;
};

struct COctreeNode {
  static constexpr uint32_t kDepthMask = 0xFF;
  static constexpr uint32_t kHasVisibility = 0x100;
  static constexpr uint32_t kLeaf = 0x1000;  // no child has ever been created under it
  static constexpr uint32_t kSkeleton = 0x8000;

  Box bounds{};
  Vector3 centre{};
  COctreeNode* children[8] = {};
  COctreeNode* parent = nullptr;
  OctreeCellList objects;  // newest first
  uint32_t visitStamp = 0;
  uint32_t flags = kLeaf;
  // Every flag bit of every object filed in the cell or below it (bits of objects gone since may
  // linger): a query whose mask this lacks can pass the whole subtree by.
  uint32_t subtreeFlags = 0;
  std::unique_ptr<OctreeVisibilityRecord> visibility;
  // Some visibility record lists this cell: it must outlive the records, so it is never pruned.
  bool listed = false;

  void SetBox(const Box& box);
  uint32_t GetDepth() const { return flags & kDepthMask; }
  bool IsLeaf() const { return (flags & kLeaf) != 0; }
  bool IsSkeleton() const { return (flags & kSkeleton) != 0; }
  bool HasChildren() const;
  bool MayHoldAll(uint32_t mask) const { return (subtreeFlags & mask) == mask; }
  void AddSubtreeFlags(uint32_t bits) {
    for (COctreeNode* c = this; c != nullptr && !c->MayHoldAll(bits); c = c->parent) c->subtreeFlags |= bits;
  }
  // The octant of child i: bit 2 upper x half, bit 1 upper y half, bit 0 upper z half.
  Box ChildBox(uint32_t index) const;
  // The children a box may touch; a side exactly on the centre plane touches both halves.
  uint8_t ChildMask(const Box& box) const;
  // The child whose octant holds p: upper half when p is not below the centre.
  uint32_t ChildIndexOf(const Vector3& p) const;
  // Path code from the root: root 0, child i of code c is 8c + i + 1.
  uint32_t GetCellCode() const;
  void SetVisibility(std::unique_ptr<OctreeVisibilityRecord> record);
};
