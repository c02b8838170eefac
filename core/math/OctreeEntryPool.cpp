#include "core/math/OctreeEntryPool.h"

OctreeListEntry* OctreeEntryPool::Take(CBoundedObject* object) {
  if (m_free == nullptr) {
    m_blocks.push_back(std::make_unique<OctreeListEntry[]>(kBlockSize));
    OctreeListEntry* block = m_blocks.back().get();
    for (size_t i = 0; i < kBlockSize; ++i) block[i].next = i + 1 < kBlockSize ? &block[i + 1] : nullptr;
    m_free = block;
  }
  OctreeListEntry* entry = m_free;
  m_free = entry->next;
  entry->prev = entry->next = nullptr;
  entry->object = object;
  ++m_inUse;
  return entry;
}

void OctreeEntryPool::Give(OctreeListEntry* entry) {
  entry->prev = nullptr;
  entry->object = nullptr;
  entry->next = m_free;
  m_free = entry;
  --m_inUse;
}
