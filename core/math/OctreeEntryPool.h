// OctreeEntryPool: the store that an octree's cell-list entries come from and go back to.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "core/math/OctreeCellList.h"

// Filing and refiling happen every tick for every mover; entries are taken from blocks and reused
// through a free list, so they cost no allocation once the tree has seen its largest population.
class OctreeEntryPool {
 public:
  OctreeEntryPool() = default;
  OctreeEntryPool(const OctreeEntryPool&) = delete;
  OctreeEntryPool& operator=(const OctreeEntryPool&) = delete;

  OctreeListEntry* Take(CBoundedObject* object);
  void Give(OctreeListEntry* entry);
  // Entries out of the pool (filed listings).
  size_t InUse() const { return m_inUse; }

 private:
  static constexpr size_t kBlockSize = 512;

  std::vector<std::unique_ptr<OctreeListEntry[]>> m_blocks;
  OctreeListEntry* m_free = nullptr;  // chained through next
  size_t m_inUse = 0;
};
