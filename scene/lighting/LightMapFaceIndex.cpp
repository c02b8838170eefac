// LightMapFaceIndex: grouping of faces by exact corner positions.
#include "scene/lighting/LightMapFaceIndex.h"

#include <cmath>
#include <cstring>

#include "scene/mesh/ShadedMesh.h"

bool LightMapFaceIndex::MakeKey(const float corners[9], Key& out) {
  for (int i = 0; i < 9; ++i) {
    if (std::isnan(corners[i])) return false;
    // -0 and +0 compare equal, so they must share a key.
    const float v = corners[i] == 0.0f ? 0.0f : corners[i];
    std::memcpy(&out[i], &v, 4);
  }
  return true;
}

size_t LightMapFaceIndex::KeyHash::operator()(const Key& key) const {
  uint64_t h = 1469598103934665603ull;
  for (uint32_t word : key) h = (h ^ word) * 1099511628211ull;
  return static_cast<size_t>(h ^ (h >> 29));
}

LightMapFaceIndex::LightMapFaceIndex(const ShadedMesh& mesh) {
  if (mesh.positions == nullptr || mesh.indices == nullptr) return;
  m_groups.reserve(mesh.faceCount);
  for (uint32_t f = 0; f < mesh.faceCount; ++f) {
    float corners[9];
    bool valid = true;
    for (uint32_t k = 0; k < 3 && valid; ++k) {
      const uint32_t v = mesh.indices[3 * f + k];
      valid = v < mesh.vertexCount;
      if (valid) std::memcpy(&corners[3 * k], &mesh.positions[v], 12);
    }
    Key key;
    if (valid && MakeKey(corners, key)) m_groups[key].faces.push_back(f);
  }
}
