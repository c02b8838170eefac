// LittleEndian: reading and writing the little-endian fields of the engine's binary files,
// independent of the host's byte order.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/math/Vector3.h"

namespace le {

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

inline uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

inline int32_t ReadI32(const uint8_t* p) {
  const uint32_t bits = ReadU32(p);
  int32_t value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

inline float ReadF32(const uint8_t* p) {
  const uint32_t bits = ReadU32(p);
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

inline void WriteU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void WriteU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void WriteF32(uint8_t* p, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof(bits));
  WriteU32(p, bits);
}

// Appending forms, for images built up field by field.
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutF32(std::vector<uint8_t>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof(bits));
  PutU32(out, bits);
}

inline void PutU8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }

inline void PutF64(std::vector<uint8_t>& out, double v) {
  uint64_t bits = 0;
  std::memcpy(&bits, &v, sizeof(v));
  PutU32(out, static_cast<uint32_t>(bits));
  PutU32(out, static_cast<uint32_t>(bits >> 32));
}

inline void PutVector3(std::vector<uint8_t>& out, const Vector3& v) {
  PutF32(out, v.x);
  PutF32(out, v.y);
  PutF32(out, v.z);
}

}  // namespace le
