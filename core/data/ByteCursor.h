// CByteCursor: bounded little-endian reading from a block of bytes; a read past the end fails and
// leaves the cursor failed, so a parser can check once after a run of fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/data/LittleEndian.h"
#include "core/math/Vector3.h"

class CByteCursor {
 public:
  CByteCursor(const uint8_t* data, size_t size) : m_data(data), m_size(data != nullptr ? size : 0) {}

  bool ReadU8(uint8_t& v) {
    if (!Take(1)) return false;
    v = m_data[m_pos - 1];
    return true;
  }
  bool ReadU32(uint32_t& v) {
    if (!Take(4)) return false;
    v = le::ReadU32(m_data + m_pos - 4);
    return true;
  }
  bool ReadF32(float& v) {
    if (!Take(4)) return false;
    v = le::ReadF32(m_data + m_pos - 4);
    return true;
  }
  bool ReadU16(uint16_t& v) {
    if (!Take(2)) return false;
    v = le::ReadU16(m_data + m_pos - 2);
    return true;
  }
  bool ReadF64(double& v) {
    if (!Take(8)) return false;
    const uint64_t bits = static_cast<uint64_t>(le::ReadU32(m_data + m_pos - 8)) |
                          static_cast<uint64_t>(le::ReadU32(m_data + m_pos - 4)) << 32;
    std::memcpy(&v, &bits, sizeof(v));
    return true;
  }
  bool ReadI32(int32_t& v) {
    uint32_t u = 0;
    if (!ReadU32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  bool ReadVector3(Vector3& v) { return ReadF32(v.x) && ReadF32(v.y) && ReadF32(v.z); }
  bool ReadBytes(void* out, size_t n) {
    if (!Take(n)) return false;
    if (n > 0) std::memcpy(out, m_data + m_pos - n, n);  // an empty vector's data() may be null
    return true;
  }
  bool Skip(size_t n) { return Take(n); }

  size_t GetPosition() const { return m_pos; }
  size_t GetRemaining() const { return m_size - m_pos; }
  bool HasFailed() const { return m_failed; }

 private:
  bool Take(size_t n) {
    if (m_failed || n > m_size - m_pos) {
      m_failed = true;
      return false;
    }
    m_pos += n;
    return true;
  }

  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
  bool m_failed = false;
};
