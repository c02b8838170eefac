// VideoMemoryBudget: the fixed amount of video memory the display machine reports, shared by
// every video-memory surface, so pool sizes do not depend on the real graphics card.
#pragma once

#include <cstdint>

class VideoMemoryBudget {
 public:
  explicit VideoMemoryBudget(uint64_t total) : m_total(total), m_free(total) {}
  bool Take(uint64_t bytes) {
    if (bytes > m_free) return false;
    m_free -= bytes;
    return true;
  }
  void Give(uint64_t bytes) { m_free += bytes; }
  uint64_t Total() const { return m_total; }
  uint64_t Free() const { return m_free; }

 private:
  uint64_t m_total;
  uint64_t m_free;
};
