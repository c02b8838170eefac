// CVertexFetchInterface: rigid reads of the shown frame and bind-pose skin blends.
#include "scene/VertexFetchInterface.h"

#include <cmath>

#include "scene/MeshInstance.h"
#include "scene/NormalTable.h"
#include "scene/ShadedMesh.h"
#include "scene/Skin.h"

namespace {

bool Put(const Vector3& v, float out[3], bool ok) {
  out[0] = ok ? v.x : 0.0f;
  out[1] = ok ? v.y : 0.0f;
  out[2] = ok ? v.z : 0.0f;
  return ok;
}

// The bone's transform in the instance's space: its bind transform composed up the chain.
// The step limit keeps a skin built in memory with a parent loop from hanging the blend.
COrientation BoneMatrix(const Skin& skin, uint32_t bone) {
  COrientation m = skin.bones[bone].bind;
  uint32_t parent = skin.bones[bone].parent;
  for (size_t steps = 0; parent < skin.bones.size() && steps < skin.bones.size(); ++steps) {
    m = skin.bones[parent].bind.LocalToWorldOrientation(m);
    parent = skin.bones[parent].parent;
  }
  return m;
}

const Skin* UsableSkin(const ShadedMesh* mesh, uint32_t vertex) {
  if (!mesh || !mesh->skin) return nullptr;
  const Skin* skin = mesh->skin;
  if (vertex >= skin->GetVertexCount()) return nullptr;
  return skin;
}

}  // namespace

bool CRigidVertexFetchInterface::GetPosition(uint32_t vertex, float out[3]) const {
  const Vector3* positions = m_instance->GetFramePositions();
  const ShadedMesh* mesh = m_instance->GetMesh();
  const bool ok = positions && vertex < mesh->vertexCount;
  return Put(ok ? positions[vertex] : Vector3(), out, ok);
}

bool CRigidVertexFetchInterface::GetNormal(uint32_t normal, float out[3]) const {
  const ShadedMesh* mesh = m_instance->GetMesh();
  const uint16_t* packed = m_instance->GetFrameCompressedNormals();
  const bool ok = packed && normal < mesh->normalCount;
  return Put(ok ? NormalTable::Decode(packed[normal]) : Vector3(), out, ok);
}

bool CRigidVertexFetchInterface::GetVertexNormal(uint32_t vertex, float out[3]) const {
  const ShadedMesh* mesh = m_instance->GetMesh();
  const uint16_t* packed = m_instance->GetFrameVertexNormals();
  const bool ok = packed && vertex < mesh->vertexCount;
  return Put(ok ? NormalTable::Decode(packed[vertex]) : Vector3(), out, ok);
}

bool CBlendedVertexFetchInterface::GetPosition(uint32_t vertex, float out[3]) const {
  const Skin* skin = UsableSkin(m_instance->GetMesh(), vertex);
  const uint32_t first = skin ? skin->offsets[vertex] : 0;
  const uint32_t end = skin ? skin->offsets[vertex + 1] : 0;
  if (!skin || first >= end || end > skin->weights.size()) {
    CRigidVertexFetchInterface rigid(m_instance);
    return rigid.GetPosition(vertex, out);
  }
  Vector3 sum;
  for (uint32_t i = first; i < end; ++i) {
    const SkinWeight& w = skin->weights[i];
    if (w.bone >= skin->bones.size()) continue;
    sum += BoneMatrix(*skin, w.bone).LocalToWorldPoint(w.position) * w.weight;
  }
  return Put(sum, out, true);
}

bool CBlendedVertexFetchInterface::GetVertexNormal(uint32_t vertex, float out[3]) const {
  const Skin* skin = UsableSkin(m_instance->GetMesh(), vertex);
  const uint32_t first = skin ? skin->offsets[vertex] : 0;
  const uint32_t end = skin ? skin->offsets[vertex + 1] : 0;
  if (!skin || first >= end || end > skin->weights.size()) {
    CRigidVertexFetchInterface rigid(m_instance);
    return rigid.GetVertexNormal(vertex, out);
  }
  Vector3 sum;
  uint32_t used = 0;
  for (uint32_t i = first; i < end; ++i) {
    const SkinWeight& w = skin->weights[i];
    if (w.bone >= skin->bones.size()) continue;
    sum += BoneMatrix(*skin, w.bone).LocalToWorldVector(NormalTable::Decode(w.normal));
    ++used;
  }
  if (used > 1) {
    // The approximate length spares a square root per vertex; exactness is not needed for lighting.
    const float ax = std::fabs(sum.x), ay = std::fabs(sum.y), az = std::fabs(sum.z);
    float len = ax > ay ? (ax > az ? ax + 0.25f * (ay + az) : az + 0.25f * (ax + ay))
                        : (ay > az ? ay + 0.25f * (ax + az) : az + 0.25f * (ax + ay));
    if (len == 0.0f) len = 1.0f;
    sum = sum * (1.0f / len);
  }
  return Put(sum, out, true);
}

bool CBlendedVertexFetchInterface::GetNormal(uint32_t normal, float out[3]) const {
  const ShadedMesh* mesh = m_instance->GetMesh();
  if (!mesh || !mesh->normalRecords || normal >= mesh->normalCount) return Put(Vector3(), out, false);
  return GetVertexNormal(mesh->normalRecords[normal].vertex, out);
}
