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
  // Offsets are 16-bit, so no skin can address more weights than this.
  static constexpr uint32_t kMaxWeights = 0xFFFF;
  // A vertex's weights must sum to 1 within this; further off they are rescaled on reading.
  static constexpr float kWeightSumTolerance = 1e-3f;

  std::vector<SkinBone> bones;
  uint32_t keptWord = 0;            // carried through files unchanged
  std::vector<uint16_t> offsets;    // vertex count + 1 entries: weights of v are [offsets[v], offsets[v + 1])
  std::vector<SkinWeight> weights;

  uint32_t GetVertexCount() const { return offsets.empty() ? 0 : static_cast<uint32_t>(offsets.size() - 1); }
  // First bone whose name matches in its first 63 characters; -1 when none.
  int FindBone(const char* name) const;

  // True when every parent index names a bone and no parent chain loops back on itself.
  // Skeleton nodes are only built from such a bone list.
  bool BonesValid() const;
  // Everything a blend relies on: the bone list as above, finite numbers, offsets rising to
  // the weight count (at most kMaxWeights), weights naming existing bones and normal-table
  // entries, no negative weight and each vertex's weights summing to 1. Logs the first fault.
  bool Validate() const;
  // Rescales each vertex whose weights have a positive sum other than 1 so that they sum to
  // 1; returns how many vertices changed.
  uint32_t NormalizeWeights();
  // The bone's bind transform in the instance's space (its bind composed up the parent chain):
  // where the bone stands when nothing animates it.
  COrientation GetBindPose(uint32_t bone) const;

  // 16 + 116 B + 2 (n + 1) + 20 W bytes.
  size_t GetFileSize() const;
  // Writes GetFileSize() bytes. A skin that fails Validate is refused (false, logged, nothing
  // written): a file the reader would refuse must not be produced.
  bool Write(uint8_t* out) const;
  // Reads the section from the front of data; `used` receives its size. Structural faults,
  // non-finite numbers and vertices whose weights cannot be made to sum to 1 are refused
  // (logged, skin left empty); weights with another positive sum are rescaled.
  bool Read(const uint8_t* data, size_t size, size_t& used);

 private:
  void Reset();
};
