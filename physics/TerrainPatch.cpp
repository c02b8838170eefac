// CTerrainPatch: binding to a curved patch and the query through the patch's triangle tree.
#include "physics/TerrainPatch.h"

#include "core/math/DebugPrintf.h"
#include "physics/SurfaceType.h"
#include "physics/TerrainTriangleTree.h"
#include "render/Texture.h"
#include "scene/CurvedPatch.h"
#include "scene/CurvedPatchInstance.h"
#include "scene/MeshInstance.h"
#include "scene/MeshSection.h"

const CTexture* CTerrainPatch::PatchTexture(CMeshInstance* instance, uint32_t patch) {
  const CurvedPatchInstance* state = instance ? instance->GetPatchState() : nullptr;
  const CurvedPatch* patches = state ? state->GetPatches() : nullptr;
  if (!patches || patch >= patches->GetPatchCount()) return nullptr;
  const uint32_t face = patches->GetPatch(patch).face;
  if (face >= patches->GetFaceCount()) return nullptr;
  return TableTexture(instance, patches->GetFace(face).textures[0]);
}

bool CTerrainPatch::Setup(CMeshInstance* instance, uint32_t patch, CCollisionObject* owner) {
  CurvedPatchInstance* state = instance ? instance->GetPatchState() : nullptr;
  if (!state || !state->GetPatches() || patch >= state->GetPatchCount()) {
    DebugPrintf("CTerrainPatch: patch %u is not a patch of the instance\n", patch);
    return false;
  }
  m_info.surface = SurfaceType::Get(0);
  m_info.owner = owner;
  m_info.object = this;
  m_section = nullptr;
  BindInstance(instance);
  m_face = static_cast<int32_t>(patch);

  const CTexture* texture = PatchTexture(instance, patch);
  ChooseSurface(texture);
  const bool translucent = texture && texture->HasAnyFlag(kTranslucentMask);
  SetBits(kOccluderBits, !translucent);
  SetStaticCollisionFlags();

  SetBits(kRenderable, instance->GetPartialDrawGroupCount() > 0);
  AddBoundFlags(kReceivesLights);
  SetBits(kCastsShadows, !(owner && (owner->GetBoundFlags() & kCastsShadows)));
  SetBits(kReceivesProjectedShadows, !translucent);
  ClearBoundFlags(kCastsProjectedShadow);
  AddBoundFlags(kBlocksStaticShadowRays);
  if (owner && (owner->GetBoundFlags() & kCastsProjectedShadow)) ClearBoundFlags(kBlocksStaticShadowRays);

  if (texture) {
    if (texture->HasAnyFlag(kTextureNoSections)) ClearBoundFlags(kRenderable);
    if (texture->HasAnyFlag(kTextureTwoSided)) ClearBoundFlags(kBackfaceCull);
    if (texture->HasAnyFlag(kTextureNoCollide)) ClearBoundFlags(kColliderObject);
    if (texture->HasAnyFlag(kTextureFlagged)) AddBoundFlags(CBoundedObject::kTextureFlagged);
  }
  if (GetBoundFlags() & kColliderObject) AddBoundFlags(kStaticWorldBits);
  AddBoundFlags(kPatchMark);

  SetBounds(state->GetWorldBounds(patch));
  if (!owner) {
    const CMeshInstance::Part* part = instance->FindPatchPart(patch);
    m_section = part ? part->section : nullptr;
  }
  return true;
}

const CurvedPatchInstance* CTerrainPatch::GetPatchState() const {
  CMeshInstance* instance = GetInstance();
  return instance ? instance->GetPatchState() : nullptr;
}

bool CTerrainPatch::Intersect(GenericIntersection* query) {
  const CurvedPatchInstance* state = GetPatchState();
  if (!query || !state || m_face < 0) return false;
  const TriTree* tree = TriTree::ensureBuilt(state, static_cast<uint32_t>(m_face));
  return tree ? TriTree::query(*tree, *query) : false;
}
