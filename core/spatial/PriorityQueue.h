// CPriorityQueue: binary heap of CQueueableObject pointers, each element knowing its own slot.
#pragma once

#include "core/spatial/QueueableObject.h"

#include <cstddef>
#include <vector>

// The open set of the best-first searches. Elements record their heap index so
// that one whose cost changed can be re-sorted in place (Update) without a
// search. The queue never owns or deletes its elements.
class CPriorityQueue {
 public:
  CPriorityQueue() = default;
  explicit CPriorityQueue(size_t reserve);
  // Elements keep pointing at their slots here, so a queue cannot be copied.
  CPriorityQueue(const CPriorityQueue&) = delete;
  CPriorityQueue& operator=(const CPriorityQueue&) = delete;
  // Does not touch the elements: owners often free their nodes before the
  // queue member goes, so the destructor must not read them. Clear first to
  // reuse elements elsewhere.
  ~CPriorityQueue() = default;

  // Adds e. Refused (logged, false) for null or for an element that is
  // already in this or another queue: its heap index belongs to that heap.
  bool Push(CQueueableObject* e);
  // Removes and returns the first element; null when empty.
  CQueueableObject* Pop();
  CQueueableObject* Top() const { return m_items.empty() ? nullptr : m_items[0]; }
  // Restores the order after e's key changed in either direction. Refused
  // (logged, false) when e is not in this queue.
  bool Update(CQueueableObject* e);
  void Clear();
  void Reserve(size_t n);

  size_t GetSize() const { return m_items.size(); }
  bool IsEmpty() const { return m_items.empty(); }
  size_t GetCapacity() const { return m_items.capacity(); }
  bool Contains(const CQueueableObject* e) const;

  // Heap neighbours of a queued element; null for the root's parent or a
  // child position beyond the end (and for an element not in this queue).
  CQueueableObject* GetParent(const CQueueableObject* e) const;
  CQueueableObject* GetLeftChild(const CQueueableObject* e) const;
  CQueueableObject* GetRightChild(const CQueueableObject* e) const;
  // Exchanges the slots (and heap indices) of two elements of this queue.
  void Swap(CQueueableObject* a, CQueueableObject* b);

  // Checks the heap order and every element's heap index; for tests.
  bool IsValid() const;

 private:
  CQueueableObject* At(size_t index) const { return index < m_items.size() ? m_items[index] : nullptr; }
  void Place(CQueueableObject* e, size_t index);
  void SiftUp(CQueueableObject* e);
  void SiftDown(CQueueableObject* e);

  std::vector<CQueueableObject*> m_items;
};
