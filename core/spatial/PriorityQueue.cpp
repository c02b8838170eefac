#include "core/spatial/PriorityQueue.h"

#include "platform/system/Win32.h"

CPriorityQueue::CPriorityQueue(size_t reserve) { Reserve(reserve); }

bool CPriorityQueue::Contains(const CQueueableObject* e) const {
  if (!e || e->m_heapIndex < 0) return false;
  size_t index = static_cast<size_t>(e->m_heapIndex);
  return index < m_items.size() && m_items[index] == e;
}

bool CPriorityQueue::Push(CQueueableObject* e) {
  if (!e) {
    OutputDebugStringA("CPriorityQueue: Push of a null element refused\n");
    return false;
  }
  if (e->m_heapIndex != -1) {
    OutputDebugStringA("CPriorityQueue: Push of an element that is already queued refused\n");
    return false;
  }
  // Grow by doubling from one slot, so a search that runs every frame settles
  // on one allocation.
  if (m_items.size() == m_items.capacity()) m_items.reserve(m_items.empty() ? 1 : m_items.capacity() * 2);
  e->m_heapIndex = static_cast<int32_t>(m_items.size());
  m_items.push_back(e);
  SiftUp(e);
  return true;
}

CQueueableObject* CPriorityQueue::Pop() {
  if (m_items.empty()) return nullptr;
  CQueueableObject* top = m_items[0];
  top->m_heapIndex = -1;
  CQueueableObject* last = m_items.back();
  m_items.pop_back();
  if (!m_items.empty()) {
    Place(last, 0);
    SiftDown(last);
  }
  return top;
}

bool CPriorityQueue::Update(CQueueableObject* e) {
  if (!Contains(e)) {
    OutputDebugStringA("CPriorityQueue: Update of an element that is not in this queue refused\n");
    return false;
  }
  CQueueableObject* parent = GetParent(e);
  if (parent && !parent->IsBefore(e)) {
    SiftUp(e);
  } else {
    SiftDown(e);
  }
  return true;
}

void CPriorityQueue::Clear() {
  for (CQueueableObject* e : m_items) e->m_heapIndex = -1;
  m_items.clear();
}

void CPriorityQueue::Reserve(size_t n) {
  if (n > m_items.capacity()) m_items.reserve(n);
}

CQueueableObject* CPriorityQueue::GetParent(const CQueueableObject* e) const {
  if (!Contains(e) || e->m_heapIndex == 0) return nullptr;
  return m_items[static_cast<size_t>(e->m_heapIndex - 1) / 2];
}

CQueueableObject* CPriorityQueue::GetLeftChild(const CQueueableObject* e) const {
  if (!Contains(e)) return nullptr;
  return At(2 * static_cast<size_t>(e->m_heapIndex) + 1);
}

CQueueableObject* CPriorityQueue::GetRightChild(const CQueueableObject* e) const {
  if (!Contains(e)) return nullptr;
  return At(2 * static_cast<size_t>(e->m_heapIndex) + 2);
}

void CPriorityQueue::Swap(CQueueableObject* a, CQueueableObject* b) {
  if (!Contains(a) || !Contains(b)) {
    OutputDebugStringA("CPriorityQueue: Swap of an element that is not in this queue refused\n");
    return;
  }
  size_t ia = static_cast<size_t>(a->m_heapIndex);
  size_t ib = static_cast<size_t>(b->m_heapIndex);
  Place(a, ib);
  Place(b, ia);
}

void CPriorityQueue::Place(CQueueableObject* e, size_t index) {
  m_items[index] = e;
  e->m_heapIndex = static_cast<int32_t>(index);
}

// Moves e towards the root while its parent does not come before it. The
// comparison is strict, so an element equal to its parent moves above it.
// Parents are shifted down into the hole instead of swapped: the same final
// layout as pairwise exchanges with half the writes.
void CPriorityQueue::SiftUp(CQueueableObject* e) {
  size_t index = static_cast<size_t>(e->m_heapIndex);
  while (index > 0) {
    size_t parentIndex = (index - 1) / 2;
    CQueueableObject* parent = m_items[parentIndex];
    if (parent->IsBefore(e)) break;
    Place(parent, index);
    index = parentIndex;
  }
  Place(e, index);
}

// Moves e towards the leaves until it comes before its children. Between two
// children the left one is taken only when it comes strictly before the right.
// For a strict weak order, "e before both children" is "e before the chosen
// one", which saves a virtual comparison per level.
void CPriorityQueue::SiftDown(CQueueableObject* e) {
  size_t index = static_cast<size_t>(e->m_heapIndex);
  const size_t size = m_items.size();
  for (;;) {
    const size_t leftIndex = 2 * index + 1;
    if (leftIndex >= size) break;
    size_t childIndex = leftIndex;
    if (leftIndex + 1 < size && !m_items[leftIndex]->IsBefore(m_items[leftIndex + 1])) childIndex = leftIndex + 1;
    CQueueableObject* child = m_items[childIndex];
    if (e->IsBefore(child)) break;
    Place(child, index);
    index = childIndex;
  }
  Place(e, index);
}

bool CPriorityQueue::IsValid() const {
  for (size_t i = 0; i < m_items.size(); ++i) {
    const CQueueableObject* e = m_items[i];
    if (!e || e->m_heapIndex != static_cast<int32_t>(i)) return false;
    if (i > 0 && e->IsBefore(m_items[(i - 1) / 2])) return false;
  }
  return true;
}
