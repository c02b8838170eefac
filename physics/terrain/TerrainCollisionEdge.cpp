// CTerrainEdge: binding to two mesh vertices.
#include "physics/terrain/TerrainCollisionEdge.h"

#include "core/data/DebugPrintf.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/SceneDrawInterface.h"
#include "scene/mesh/ShadedMesh.h"

bool CTerrainEdge::Setup(CMeshInstance* instance, uint32_t a, uint32_t b, uint32_t face, CCollisionObject* owner) {
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh || a >= mesh->vertexCount || b >= mesh->vertexCount) {
    DebugPrintf("CTerrainEdge: vertices %u and %u are not both vertices of the instance's mesh\n", a, b);
    return false;
  }
  m_info.object = this;
  m_info.owner = owner;
  ChooseSurface(FaceTexture(instance, face));
  BindInstance(instance);
  m_vertices[0] = static_cast<int32_t>(a);
  m_vertices[1] = static_cast<int32_t>(b);
  SetStaticCollisionFlags();
  SetLooseGeometryFlags();
  Box box;
  box.SetFromPoints(VertexWorldPosition(instance, a), VertexWorldPosition(instance, b));
  SetBounds(box);
  return true;
}

void CTerrainEdge::Render(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  StampDrawn(view);
  CMeshInstance* instance = GetInstance();
  if (instance == nullptr || m_vertices[0] < 0) return;
  view->DrawLine3D(VertexWorldPosition(instance, static_cast<uint32_t>(m_vertices[0])),
                   VertexWorldPosition(instance, static_cast<uint32_t>(m_vertices[1])), kColour);
}
