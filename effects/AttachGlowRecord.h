// AttachGlowRecord: the 48-byte record of a glow hung on a mesh attach point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct AttachGlowRecord {
  static constexpr size_t kSize = 48;
  // Attach-point type on a piece's or figure's mesh; a type of its own, which no other record
  // shares (a path record's is 10010).
  static constexpr uint32_t kAttachType = 10005;
  static constexpr size_t kNameSize = 32;
  static constexpr float kLargestSize = 1000.0f;

  int32_t intensityIndex = 0;  // asked of the carrier (GetAttachIntensity)
  uint32_t triggerId = 0;      // a level trigger that switches the glow too; 0 for none
  float halfSide = 0.0f;       // half the side of the glow at full strength, in world units
  uint32_t colour = 0;         // bytes b, g, r, a
  std::string texture;         // texture file, found in the resource table by name

  // False (logged) unless the data is exactly kSize bytes, the half side is finite, positive and
  // within kLargestSize, and the name ends within its kNameSize bytes.
  bool Read(const uint8_t* data, size_t size);
  void Write(std::vector<uint8_t>& out) const;
};
