// CTerrainPolygon: binding to a mesh face, the face test with its alpha pass, and partial drawing.
#include "physics/terrain/TerrainPolygon.h"

#include <cmath>

#include "core/data/DebugPrintf.h"
#include "core/math/GenericIntersection.h"
#include "physics/collision/SurfaceType.h"
#include "platform/system/Win32.h"
#include "scene/mesh/TextureProperties.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/VertexSharingTable.h"

bool CTerrainPolygon::IsGroupTranslucent(CMeshInstance* instance, uint32_t face) {
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh || face >= mesh->faceCount) return false;
  uint32_t first = face;
  const VertexSharingTable* table = mesh->sharingTable.get();
  if (table && face < table->GetFaceCount()) {
    const uint32_t group = table->GetGroupOfFace(face);
    if (group < table->GetGroupCount() && table->GetGroupSize(group) > 0) first = table->GetGroupMembers(group)[0];
  }
  const CTextureProperties* texture = FaceTexture(instance, first);
  return texture && texture->HasAnyFlag(kTranslucentMask);
}

bool CTerrainPolygon::Setup(CMeshInstance* instance, uint32_t face, CCollisionObject* owner) {
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh || face >= mesh->faceCount) {
    DebugPrintf("CTerrainPolygon: face %u is not a face of the instance's mesh\n", face);
    return false;
  }
  const CTextureProperties* texture = FaceTexture(instance, face);
  BindAndChooseFlags(instance, face, owner, texture,
                     FlagChoice{!IsGroupTranslucent(instance, face), true, kCastsProjectedShadow | kCastsShadows,
                                kTextureNoSections | kTextureBitmap});

  Box box;
  Vector3 corners[3];
  Vector3 normal;
  GetGeometry(corners, normal);
  box.SetFromTriangle(corners[0], corners[1], corners[2]);
  SetBounds(box);

  if (!owner) {
    const CMeshInstance::Part* part = instance->FindPolygonPart(face);
    m_section = part ? part->section : nullptr;
  }
  return true;
}

void CTerrainPolygon::BindAndChooseFlags(CMeshInstance* instance, uint32_t face, CCollisionObject* owner,
                                         const CTextureProperties* texture, const FlagChoice& choice) {
  m_info.surface = SurfaceType::Get(0);
  m_info.owner = owner;
  m_info.object = this;
  m_section = nullptr;
  BindInstance(instance);
  m_face = static_cast<int32_t>(face);

  ChooseSurface(texture);
  SetBits(kOccluderBits, choice.occludes);
  SetStaticCollisionFlags();

  SetBits(kRenderable, instance->GetPartialDrawGroupCount() > 0);
  AddBoundFlags(kReceivesLights);
  SetBits(kCastsShadows, !(owner && (owner->GetBoundFlags() & kCastsShadows)));
  SetBits(kReceivesProjectedShadows, choice.receivesProjectedShadows);
  ClearBoundFlags(kCastsProjectedShadow);
  AddBoundFlags(kBlocksStaticShadowRays);
  if (owner && (owner->GetBoundFlags() & choice.ownerShadowMask)) ClearBoundFlags(kBlocksStaticShadowRays);

  if (texture) {
    if (texture->HasAnyFlag(choice.noRenderTextureMask)) ClearBoundFlags(kRenderable);
    if (texture->HasAnyFlag(kTextureTwoSided)) ClearBoundFlags(kBackfaceCull);
    if (texture->HasAnyFlag(kTextureNoCollide)) ClearBoundFlags(kColliderObject);
    if (texture->HasAnyFlag(kTextureFlagged)) AddBoundFlags(CBoundedObject::kTextureFlagged);
  }
  if (GetBoundFlags() & kColliderObject) AddBoundFlags(kStaticWorldBits);
}

bool CTerrainPolygon::GetGeometry(Vector3 corners[3], Vector3& normal) const {
  CMeshInstance* instance = GetInstance();
  const ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (m_face < 0 || !mesh || static_cast<uint32_t>(m_face) >= mesh->faceCount) return false;
  const uint32_t face = static_cast<uint32_t>(m_face);
  for (uint32_t c = 0; c < 3; ++c) corners[c] = instance->GetCornerWorldPosition(face, c);
  normal = instance->GetWorldFaceNormal(face);
  return true;
}

bool CTerrainPolygon::Intersect(GenericIntersection* query) {
  Vector3 corners[3];
  Vector3 normal;
  if (!query || !GetGeometry(corners, normal)) return false;
  const bool hit = (GetBoundFlags() & kBackfaceCull)
                       ? query->IntersectPolygon(corners[0], corners[1], corners[2], normal, false, &GetBounds())
                       : query->IntersectTriangle(corners[0], corners[1], corners[2], normal, false, &GetBounds());
  return hit && PassesAlphaTest(*query);
}

bool CTerrainPolygon::PassesAlphaTest(const GenericIntersection& query) const {
  if ((query.mode & QueryMode::kTexelAlpha) == 0) return true;
  const CTextureProperties* texture = FaceTexture(GetInstance(), static_cast<uint32_t>(m_face));
  if (!texture) return true;
  if (texture->HasAnyFlag(kTextureNoAlphaTest) && (query.mode & QueryMode::kAlphaExempt)) return true;
  // The triangle test weighs corner 1 with u and corner 2 with v; the face's colours and texture
  // coordinates weigh corner 0 with their first weight.
  const float u = query.result.u, v = query.result.v;
  const Color texel = GetInstance()->SampleFaceColor(static_cast<uint32_t>(m_face), 1.0f - u - v, v, true, true);
  return texel.a > kAlphaThreshold;
}

void CTerrainPolygon::MarkLightingStale() {
  if (IsBound()) GetInstance()->InvalidateFaceLighting(static_cast<uint32_t>(m_face));
}

void CTerrainPolygon::Render(CSceneDrawInterface* view) {
  if (!IsBound()) return;
  CMeshInstance* instance = GetInstance();
  if (instance->GetPartialDrawGroupCount() == 0) {
    OutputDebugStringA("Error! Trying to partial render a non-partial render mesh!\n");
  } else if (!instance->AddPartialDrawFace(static_cast<uint32_t>(m_face))) {
    OutputDebugStringA("Error - Adding active face twice in partial render!\n");
  }
  // The face was met by this frame's visibility pass even when it could not be listed.
  StampDrawn(view);
}

HalfEdgeMesh* CTerrainPolygon::GetOccluderMesh() {
  CMeshInstance* instance = GetInstance();
  if (!instance) return nullptr;
  HalfEdgeMesh* mesh = instance->GetHalfEdgeMesh();
  return mesh ? mesh : instance->BuildHalfEdgeMesh();
}
