// MeshFileReader: bounded cursor over a mesh file image; every read is checked against the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class MeshFileReader {
 public:
  MeshFileReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}

  size_t Remaining() const { return m_size - m_pos; }
  size_t Position() const { return m_pos; }
  const uint8_t* Cursor() const { return m_data + m_pos; }

  // True when count elements of elementSize bytes remain (no overflow for any count).
  bool Has(uint64_t count, size_t elementSize) const {
    return elementSize == 0 || count <= Remaining() / elementSize;
  }
  // The next bytes (advancing past them), or null when they run past the end.
  const uint8_t* Take(uint64_t count, size_t elementSize) {
    if (!Has(count, elementSize)) return nullptr;
    const uint8_t* p = m_data + m_pos;
    m_pos += static_cast<size_t>(count) * elementSize;
    return p;
  }
  bool Skip(uint64_t count, size_t elementSize) { return Take(count, elementSize) != nullptr; }
  bool ReadWord(uint32_t& out) {
    const uint8_t* p = Take(1, 4);
    if (!p) return false;
    std::memcpy(&out, p, 4);
    return true;
  }
  // Copies count elements into out (which may be unaligned-safe storage of the caller's type).
  bool Copy(void* out, uint64_t count, size_t elementSize) {
    const uint8_t* p = Take(count, elementSize);
    if (!p) return false;
    if (count) std::memcpy(out, p, static_cast<size_t>(count) * elementSize);
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};
