// MeshFileWriter: bounded output cursor for mesh files; with no buffer it only counts, which
// is how the file size is measured, so the size and the bytes written cannot disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

class MeshFileWriter {
 public:
  // Counting writer.
  MeshFileWriter() = default;
  MeshFileWriter(uint8_t* buffer, size_t capacity) : m_buffer(buffer), m_capacity(capacity) {}

  size_t Size() const { return m_pos; }
  // False once a write would have passed the end of the buffer.
  bool Ok() const { return m_ok; }
  bool IsCounting() const { return m_buffer == nullptr; }

  // Room for bytes, or null when counting (or out of room: later writes are dropped).
  uint8_t* Reserve(size_t bytes) {
    const size_t at = m_pos;
    m_pos += bytes;
    if (!m_buffer) return nullptr;
    if (!m_ok || bytes > m_capacity - at || at > m_capacity) {
      m_ok = false;
      return nullptr;
    }
    return m_buffer + at;
  }
  void Bytes(const void* data, size_t bytes) {
    uint8_t* p = Reserve(bytes);
    if (p && bytes) std::memcpy(p, data, bytes);
  }
  void Zeros(size_t bytes) {
    uint8_t* p = Reserve(bytes);
    if (p && bytes) std::memset(p, 0, bytes);
  }
  // A section writer that could not fill its reserved room fails the whole file.
  void MarkFailed() { m_ok = false; }
  void Word(uint32_t value) { Bytes(&value, 4); }
  void Float(float value) { Bytes(&value, 4); }

 private:
  uint8_t* m_buffer = nullptr;
  size_t m_capacity = 0;
  size_t m_pos = 0;
  bool m_ok = true;
};
