// SpanBuffer: hidden-surface removal by rows of spans. Each frame row keeps the visible spans
// drawn so far, sorted by x and never overlapping, with their depth (1/w, or how near z is under
// an orthographic camera: larger is nearer); a new span is drawn only where it is in front, and
// (with depth writing) takes those parts over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class SpanBuffer {
 public:
  // Covers pixels [x0, x1); the depth (larger is nearer) at pixel x is z0 + (x - x0) * dz.
  struct Span {
    int32_t x0;
    int32_t x1;
    float z0;
    float dz;
    int32_t next;  // pool index of the next span of the row, -1 at the end
  };
  // Below this many free records new spans are refused whole, so a frame that runs out draws
  // whole spans or none, never a half-updated row.
  static constexpr size_t kReserve = 20;
  using VisibleFn = void (*)(void* context, int x0, int x1);

  void Allocate(int rows, size_t records);
  // Forgets every span (the start of a frame's depth).
  void Empty();
  // Inserts [x0, x1) on row y and calls visible for every piece of it that is in front (larger
  // depth; a tie keeps the old span). Where the depths of the new span and an old one cross,
  // the overlap splits at the first pixel past the crossing.
  // Without zWrite the rows are left as they were. False, with nothing drawn, when the pool
  // is nearly exhausted.
  bool Insert(int y, int x0, int x1, float z0, float dz, bool zWrite, VisibleFn visible, void* context);

  int GetRows() const { return static_cast<int>(m_heads.size()); }
  size_t GetFreeRecords() const;
  std::vector<Span> GetRow(int y) const;
  // The row heads, published as the depth buffer's pixels.
  void* GetHeads() { return m_heads.data(); }

 private:
  int32_t Allocate();
  void Release(int32_t record);
  // From pixel a of an overlap that lasts to end: whether the new span is in front there, and
  // where that stops being so (the crossing of the two depths, or end).
  int SameDecision(const Span& old, int a, int end, int x0, float z0, float dz, bool* front) const;
  // Records [a, b) of the new span at *link, extending the previous piece when it ends at a.
  bool Place(int32_t*& link, int32_t& last, int a, int b, int x0, float z0, float dz);

  std::vector<int32_t> m_heads;
  std::vector<Span> m_pool;
  size_t m_used = 0;       // records ever taken from the pool since it was emptied
  int32_t m_free = -1;     // records given back, chained through next
  size_t m_freeCount = 0;
};
