// SpanBuffer: insertion of a span into a row, splitting and shortening the spans it hides.
#include "render/software/SpanBuffer.h"

#include <algorithm>
#include <cmath>

void SpanBuffer::Allocate(int rows, size_t records) {
  m_heads.assign(static_cast<size_t>(std::max(rows, 0)), -1);
  m_pool.assign(records, Span{0, 0, 0.0f, 0.0f, -1});
  Empty();
}

void SpanBuffer::Empty() {
  std::fill(m_heads.begin(), m_heads.end(), -1);
  m_used = 0;
  m_free = -1;
  m_freeCount = 0;
}

size_t SpanBuffer::GetFreeRecords() const { return m_pool.size() - m_used + m_freeCount; }

std::vector<SpanBuffer::Span> SpanBuffer::GetRow(int y) const {
  std::vector<Span> row;
  if (y < 0 || y >= GetRows()) return row;
  for (int32_t i = m_heads[static_cast<size_t>(y)]; i >= 0; i = m_pool[static_cast<size_t>(i)].next)
    row.push_back(m_pool[static_cast<size_t>(i)]);
  return row;
}

int32_t SpanBuffer::Allocate() {
  if (m_free >= 0) {
    const int32_t record = m_free;
    m_free = m_pool[static_cast<size_t>(record)].next;
    --m_freeCount;
    return record;
  }
  if (m_used >= m_pool.size()) return -1;
  return static_cast<int32_t>(m_used++);
}

void SpanBuffer::Release(int32_t record) {
  m_pool[static_cast<size_t>(record)].next = m_free;
  m_free = record;
  ++m_freeCount;
}

int SpanBuffer::SameDecision(const Span& old, int a, int end, int x0, float z0, float dz, bool* front) const {
  // The depth difference is linear in x; where it changes sign the overlap splits.
  const double diffA = (z0 + static_cast<double>(a - x0) * dz) - (old.z0 + static_cast<double>(a - old.x0) * old.dz);
  const double slope = static_cast<double>(dz) - old.dz;
  *front = diffA > 0;
  double run;
  if (*front) run = slope < 0 ? std::ceil(-diffA / slope) : end - a;
  else run = slope > 0 ? std::floor(-diffA / slope) + 1 : end - a;
  return a + static_cast<int>(std::min<double>(end - a, std::max(1.0, run)));
}

bool SpanBuffer::Place(int32_t*& link, int32_t& last, int a, int b, int x0, float z0, float dz) {
  if (last >= 0 && link == &m_pool[static_cast<size_t>(last)].next && m_pool[static_cast<size_t>(last)].x1 == a) {
    m_pool[static_cast<size_t>(last)].x1 = b;
    return true;
  }
  const int32_t record = Allocate();
  if (record < 0) return false;
  m_pool[static_cast<size_t>(record)] = Span{a, b, z0 + static_cast<float>(a - x0) * dz, dz, *link};
  *link = record;
  last = record;
  link = &m_pool[static_cast<size_t>(record)].next;
  return true;
}

bool SpanBuffer::Insert(int y, int x0, int x1, float z0, float dz, bool zWrite, VisibleFn visible, void* context) {
  if (y < 0 || y >= GetRows() || x0 >= x1) return true;
  if (GetFreeRecords() < kReserve) return false;
  int32_t* link = &m_heads[static_cast<size_t>(y)];
  int32_t last = -1;
  int x = x0;
  while (x < x1) {
    const int32_t current = *link;
    if (current >= 0 && m_pool[static_cast<size_t>(current)].x1 <= x) {
      link = &m_pool[static_cast<size_t>(current)].next;
      continue;
    }
    const int gapEnd = current < 0 ? x1 : std::min(x1, static_cast<int>(m_pool[static_cast<size_t>(current)].x0));
    if (gapEnd > x) {
      visible(context, x, gapEnd);
      if (zWrite && !Place(link, last, x, gapEnd, x0, z0, dz)) return false;
      x = gapEnd;
      continue;
    }
    Span& old = m_pool[static_cast<size_t>(current)];
    bool front = false;
    const int end = SameDecision(old, x, std::min(x1, static_cast<int>(old.x1)), x0, z0, dz, &front);
    if (!front) {
      x = end;
      continue;
    }
    visible(context, x, end);
    const int a = x;  // the overlap is [a, end); the old span starts at or before a
    x = end;
    if (!zWrite) continue;
    if (old.x0 < a) {
      // Keep the old span's left part; the right part, if any, follows the new piece.
      const int32_t oldEnd = old.x1;
      const float oldZ = old.z0, oldDz = old.dz;
      const int32_t oldX0 = old.x0;
      old.x1 = a;
      link = &old.next;
      if (!Place(link, last, a, end, x0, z0, dz)) return false;
      if (oldEnd > end) {
        const int32_t right = Allocate();
        if (right < 0) return false;
        m_pool[static_cast<size_t>(right)] = Span{end, oldEnd, oldZ + static_cast<float>(end - oldX0) * oldDz, oldDz, *link};
        *link = right;
      }
    } else if (old.x1 > end) {
      // The new piece goes before the old span, which now starts at end.
      old.z0 += static_cast<float>(end - old.x0) * old.dz;
      old.x0 = end;
      if (!Place(link, last, a, end, x0, z0, dz)) return false;
    } else {
      // Wholly hidden: the old record is dropped (or becomes the new piece).
      *link = old.next;
      Release(current);
      if (!Place(link, last, a, end, x0, z0, dz)) return false;
    }
  }
  return true;
}
