// Skinning: blends of skinned vertex positions and normals from the bones' skin matrices.
#pragma once

#include <cstdint>

#include "core/math/Vector3.h"

class CSkeletonNodeInstance;
class Skin;

namespace Skinning {

// The bones' current placement: one skeleton node per bone, or, without nodes (null or a
// count other than the skin's bone count), every bone at its bind pose.
struct Pose {
  CSkeletonNodeInstance* nodes = nullptr;
  uint32_t count = 0;
};

// Position of a vertex: the sum over its weight records of weight x (the bone's skin matrix
// applied to the record's position); the rigid position when the vertex has no records (or
// lies past the skin's vertices). False (zero vector) when neither gives a value.
bool BlendPosition(const Skin& skin, uint32_t vertex, const Pose& pose, const Vector3* rigidPositions,
                   uint32_t rigidCount, Vector3& out);
// Vertex normal: the sum of the bones' rotations applied to the records' normal-table vectors,
// divided by its approximate length when more than one record contributed; the decoded rigid
// vertex normal when the vertex has no records.
bool BlendNormal(const Skin& skin, uint32_t vertex, const Pose& pose, const uint16_t* rigidNormals,
                 uint32_t rigidCount, Vector3& out);

}  // namespace Skinning
