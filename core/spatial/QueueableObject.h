// CQueueableObject: base of every object that can wait in a CPriorityQueue.
#pragma once

#include <cstdint>

class CPriorityQueue;

class CQueueableObject {
 public:
  CQueueableObject() = default;
  // A copy is a new object that sits in no queue; copying the heap index would
  // let two objects claim the same heap slot.
  CQueueableObject(const CQueueableObject&) {}
  CQueueableObject& operator=(const CQueueableObject&) { return *this; }
  virtual ~CQueueableObject() = default;

  // True when this element must leave the queue before `other`. Must be a
  // strict order (false for equal keys); the queue relies on that for ties.
  virtual bool IsBefore(const CQueueableObject* other) const = 0;

  // Position in the owning queue's heap, -1 while the object is in no queue.
  // Searches read it as "is in the open set".
  int32_t GetHeapIndex() const { return m_heapIndex; }
  bool IsQueued() const { return m_heapIndex >= 0; }

 private:
  friend class CPriorityQueue;  // only the queue moves elements around
  int32_t m_heapIndex = -1;
};
