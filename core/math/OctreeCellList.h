// OctreeCellList: the objects filed in one octree cell, newest first, threaded through pooled entries.
#pragma once

#include <cstddef>
#include <iterator>

class CBoundedObject;

// One listing of an object in a cell. The object keeps a pointer to it, so taking the object out
// of the cell needs no search and leaves the order of the others as it was.
struct OctreeListEntry {
  OctreeListEntry* prev = nullptr;
  OctreeListEntry* next = nullptr;
  CBoundedObject* object = nullptr;
};

// Doubly linked through a sentinel, which is why a list can be neither copied nor moved. It never
// owns its entries: the tree's pool does.
class OctreeCellList {
 public:
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = CBoundedObject*;
    using difference_type = std::ptrdiff_t;
    using pointer = CBoundedObject* const*;
    using reference = CBoundedObject* const&;

    explicit Iterator(const OctreeListEntry* entry) : m_entry(entry) {}
    reference operator*() const { return m_entry->object; }
    Iterator& operator++() {
      m_entry = m_entry->next;
      return *this;
    }
    bool operator==(const Iterator& other) const { return m_entry == other.m_entry; }
    bool operator!=(const Iterator& other) const { return m_entry != other.m_entry; }

   private:
    const OctreeListEntry* m_entry;
  };

  OctreeCellList() { m_sentinel.prev = m_sentinel.next = &m_sentinel; }
  OctreeCellList(const OctreeCellList&) = delete;
  OctreeCellList& operator=(const OctreeCellList&) = delete;

  bool empty() const { return m_size == 0; }
  size_t size() const { return m_size; }
  Iterator begin() const { return Iterator(m_sentinel.next); }
  Iterator end() const { return Iterator(&m_sentinel); }
  // The first entry, or null when the list is empty; walking on from it ends at null as well.
  OctreeListEntry* First() const { return After(&m_sentinel); }
  OctreeListEntry* After(const OctreeListEntry* entry) const {
    return entry->next != &m_sentinel ? entry->next : nullptr;
  }

  void PushFront(OctreeListEntry* entry) {
    entry->prev = &m_sentinel;
    entry->next = m_sentinel.next;
    m_sentinel.next->prev = entry;
    m_sentinel.next = entry;
    ++m_size;
  }
  // The entry must be one of this list's.
  void Erase(OctreeListEntry* entry) {
    entry->prev->next = entry->next;
    entry->next->prev = entry->prev;
    entry->prev = entry->next = nullptr;
    --m_size;
  }

 private:
  OctreeListEntry m_sentinel;
  size_t m_size = 0;
};
