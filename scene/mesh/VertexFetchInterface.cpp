// CVertexFetchInterface: rigid reads of the shown frame and skin blends from the skeleton nodes.
#include "scene/mesh/VertexFetchInterface.h"

#include <cmath>

#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/NormalTable.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/animation/Skin.h"
#include "scene/animation/Skinning.h"

namespace {

bool Put(const Vector3& v, float out[3], bool ok) {
  out[0] = ok ? v.x : 0.0f;
  out[1] = ok ? v.y : 0.0f;
  out[2] = ok ? v.z : 0.0f;
  return ok;
}

// The skin and the bones that place it; null when the instance shows no skin.
const Skin* SkinAndPose(const CMeshInstance* instance, Skinning::Pose& pose) {
  const ShadedMesh* mesh = instance->GetMesh();
  if (!mesh || !mesh->skin) return nullptr;
  pose.nodes = instance->GetSkeletonNodes();
  pose.count = instance->GetSkeletonNodeCount();
  return mesh->skin.get();
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
  Skinning::Pose pose;
  const Skin* skin = SkinAndPose(m_instance, pose);
  if (!skin) return CRigidVertexFetchInterface(m_instance).GetPosition(vertex, out);
  const ShadedMesh* mesh = m_instance->GetMesh();
  if (vertex >= mesh->vertexCount) return Put(Vector3(), out, false);  // a skin longer than its mesh
  Vector3 p;
  const bool ok = Skinning::BlendPosition(*skin, vertex, pose, m_instance->GetFramePositions(), mesh->vertexCount, p);
  return Put(p, out, ok);
}

bool CBlendedVertexFetchInterface::GetVertexNormal(uint32_t vertex, float out[3]) const {
  Skinning::Pose pose;
  const Skin* skin = SkinAndPose(m_instance, pose);
  if (!skin) return CRigidVertexFetchInterface(m_instance).GetVertexNormal(vertex, out);
  const ShadedMesh* mesh = m_instance->GetMesh();
  if (vertex >= mesh->vertexCount) return Put(Vector3(), out, false);
  Vector3 n;
  const bool ok = Skinning::BlendNormal(*skin, vertex, pose, m_instance->GetFrameVertexNormals(), mesh->vertexCount, n);
  return Put(n, out, ok);
}

bool CBlendedVertexFetchInterface::GetNormal(uint32_t normal, float out[3]) const {
  const ShadedMesh* mesh = m_instance->GetMesh();
  if (!mesh || !mesh->normalRecords || normal >= mesh->normalCount) return Put(Vector3(), out, false);
  return GetVertexNormal(mesh->normalRecords[normal].vertex, out);
}
