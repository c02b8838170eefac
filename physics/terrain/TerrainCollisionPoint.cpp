// CTerrainPoint: binding to one mesh vertex.
#include "physics/terrain/TerrainCollisionPoint.h"

#include "core/data/DebugPrintf.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

bool CTerrainPoint::Setup(CMeshInstance* instance, uint32_t vertex, uint32_t face, CCollisionObject* owner) {
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh || vertex >= mesh->vertexCount) {
    DebugPrintf("CTerrainPoint: vertex %u is not a vertex of the instance's mesh\n", vertex);
    return false;
  }
  m_info.object = this;
  m_info.owner = owner;
  ChooseSurface(FaceTexture(instance, face));
  BindInstance(instance);
  m_vertex = static_cast<int32_t>(vertex);
  SetStaticCollisionFlags();
  SetLooseGeometryFlags();
  const Vector3 p = VertexWorldPosition(instance, vertex);
  SetBounds(Box(p, p));
  return true;
}
