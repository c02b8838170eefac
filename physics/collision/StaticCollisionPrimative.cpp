// CStaticCollisionPrimative: the collision record, surface choice and owner forwarding shared by the family.
#include "physics/collision/StaticCollisionPrimative.h"

#include "physics/collision/SurfaceType.h"
#include "scene/mesh/TextureProperties.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

CStaticCollisionPrimative::CStaticCollisionPrimative() {
  m_info.kind = CollisionInfo::kStatic;
  m_info.object = this;
  m_info.surface = SurfaceType::Get(0);
  m_info.owner = nullptr;
}

// Primitives bind their instance as borrowed, so the base leaves it alone.
CStaticCollisionPrimative::~CStaticCollisionPrimative() = default;

void CStaticCollisionPrimative::BindInstance(CMeshInstance* instance) {
  BorrowMeshInstance(instance);
  m_ownerInstance = instance;
}

bool CStaticCollisionPrimative::HandleCollision(const CollisionInfo* info, const IntersectionResult* hit) {
  CCollisionObject* owner = m_info.owner;
  if (!owner || (owner->GetBoundFlags() & CBoundedObject::kColliderObject) == 0) return false;
  return owner->HandleCollision(info, hit);
}

const CTextureProperties* CStaticCollisionPrimative::SlotTexture(CMeshInstance* instance, uint32_t slot) {
  if (!instance || !instance->GetMesh() || slot == ShadedMesh::kNone) return nullptr;
  return instance->GetTexture(slot);
}

const CTextureProperties* CStaticCollisionPrimative::FaceTexture(CMeshInstance* instance, uint32_t face) {
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh || !mesh->faceRecords || face >= mesh->faceCount) return nullptr;
  return SlotTexture(instance, mesh->faceRecords[face].textureSlot);
}

const CTextureProperties* CStaticCollisionPrimative::TableTexture(CMeshInstance* instance, uint32_t index) {
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh || index >= mesh->GetTextureCount()) return nullptr;
  return mesh->textureOwner->textures[index];
}

void CStaticCollisionPrimative::ChooseSurface(const CTextureProperties* texture) {
  m_info.surface = SurfaceType::Get(0);
  // SurfaceType::Get answers entry 0 for an index past the table.
  if (texture) m_info.surface = SurfaceType::Get(texture->GetFlags() >> 24);
}

void CStaticCollisionPrimative::SetStaticCollisionFlags() { SetCollisionFlags(true, false, false, false, true, false); }

void CStaticCollisionPrimative::SetLooseGeometryFlags() {
  ClearBoundFlags(kRenderable | kReceivesLights | kCastsShadows | kReceivesProjectedShadows | kCastsProjectedShadow);
  AddBoundFlags(kBlocksStaticShadowRays);
  AddBoundFlags(kNoCameraPass);
}

Vector3 CStaticCollisionPrimative::VertexWorldPosition(CMeshInstance* instance, uint32_t vertex) {
  const Vector3* positions = instance->GetFramePositions();
  if (!positions) return Vector3();
  return instance->IsIdentity() ? positions[vertex] : instance->GetWorldMatrix().LocalToWorldPoint(positions[vertex]);
}
