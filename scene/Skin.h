// Skin: the bones and per-vertex bone weights of a skinned mesh, with their mesh-file section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/math/Orientation.h"

struct SkinBone {
  COrientation bind;     // relative to the parent bone, or to the instance for a root bone
  uint32_t parent;       // 0xFFFFFFFF for a root bone
  char name[64];         // zero-padded
};

struct SkinWeight {
  uint16_t bone;
  uint16_t normal;       // normal-table index in the bone's space
  Vector3 position;      // in the bone's space
  float weight;
};

class Skin {
 public:
  static constexpr uint32_t kNoParent = 0xFFFFFFFFu;

  std::vector<SkinBone> bones;
  uint32_t keptWord = 0;            // carried through files unchanged
  std::vector<uint16_t> offsets;    // vertex count + 1 entries: weights of v are [offsets[v], offsets[v + 1])
  std::vector<SkinWeight> weights;

  uint32_t GetVertexCount() const { return offsets.empty() ? 0 : static_cast<uint32_t>(offsets.size() - 1); }
  // First bone whose name matches in its first 63 characters; -1 when none.
  int FindBone(const char* name) const;

  // 16 + 116 B + 2 (n + 1) + 20 W bytes.
  size_t GetFileSize() const;
  void Write(uint8_t* out) const;
  // Reads the section from the front of data; `used` receives its size. Parent indices must
  // name an earlier bone, offsets must rise to the weight count and weights must name a
  // bone; anything else is refused (logged, skin left empty).
  bool Read(const uint8_t* data, size_t size, size_t& used);
};
