// Skinning: the position and normal blends behind the blended vertex fetch.
#include "scene/animation/Skinning.h"

#include <cmath>

#include "scene/mesh/NormalTable.h"
#include "scene/animation/SkeletonNodeInstance.h"
#include "scene/animation/Skin.h"

namespace Skinning {
namespace {

// The weight records of a vertex, or an empty range. Offsets are re-checked here because a
// skin may be built in memory without passing the reader's checks.
bool WeightRange(const Skin& skin, uint32_t vertex, uint32_t& first, uint32_t& end) {
  if (vertex >= skin.GetVertexCount()) return false;
  first = skin.offsets[vertex];
  end = skin.offsets[vertex + 1];
  return first < end && end <= skin.weights.size();
}

bool BoneMatrix(const Skin& skin, const Pose& pose, uint32_t bone, COrientation& out) {
  if (bone >= skin.bones.size()) return false;
  if (pose.nodes && pose.count == skin.bones.size()) {
    out = pose.nodes[bone].GetSkinMatrix();
  } else {
    out = skin.GetBindPose(bone);
  }
  return true;
}

// Largest absolute component plus a quarter of the other two: no square root per vertex.
float ApproxLength(const Vector3& v) {
  const float ax = std::fabs(v.x), ay = std::fabs(v.y), az = std::fabs(v.z);
  if (ax >= ay && ax >= az) return ax + 0.25f * (ay + az);
  if (ay >= az) return ay + 0.25f * (ax + az);
  return az + 0.25f * (ax + ay);
}

}  // namespace

bool BlendPosition(const Skin& skin, uint32_t vertex, const Pose& pose, const Vector3* rigidPositions,
                   uint32_t rigidCount, Vector3& out) {
  uint32_t first = 0, end = 0;
  if (!WeightRange(skin, vertex, first, end)) {
    const bool ok = rigidPositions && vertex < rigidCount;
    out = ok ? rigidPositions[vertex] : Vector3();
    return ok;
  }
  Vector3 sum;
  COrientation bone;
  for (uint32_t i = first; i < end; ++i) {
    const SkinWeight& w = skin.weights[i];
    if (BoneMatrix(skin, pose, w.bone, bone)) sum += bone.LocalToWorldPoint(w.position) * w.weight;
  }
  out = sum;
  return true;
}

bool BlendNormal(const Skin& skin, uint32_t vertex, const Pose& pose, const uint16_t* rigidNormals,
                 uint32_t rigidCount, Vector3& out) {
  uint32_t first = 0, end = 0;
  if (!WeightRange(skin, vertex, first, end)) {
    const bool ok = rigidNormals && vertex < rigidCount;
    out = ok ? NormalTable::Decode(rigidNormals[vertex]) : Vector3();
    return ok;
  }
  Vector3 sum;
  uint32_t used = 0;
  COrientation bone;
  for (uint32_t i = first; i < end; ++i) {
    const SkinWeight& w = skin.weights[i];
    if (!BoneMatrix(skin, pose, w.bone, bone)) continue;
    sum += bone.LocalToWorldVector(NormalTable::Decode(w.normal));
    ++used;
  }
  if (used > 1) {
    float len = ApproxLength(sum);
    if (len == 0.0f) len = 1.0f;
    sum = sum * (1.0f / len);
  }
  out = sum;
  return true;
}

}  // namespace Skinning
