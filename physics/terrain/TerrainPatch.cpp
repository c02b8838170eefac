// CTerrainPatch: binding to a curved patch and the query through the patch's triangle tree.
#include "physics/terrain/TerrainPatch.h"

#include "core/data/DebugPrintf.h"
#include "physics/collision/SurfaceType.h"
#include "physics/terrain/TerrainTriangleTree.h"
#include "scene/mesh/TextureProperties.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/MeshSection.h"

const CTextureProperties* CTerrainPatch::PatchTexture(CMeshInstance* instance, uint32_t patch) {
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
  // The surface and flags follow the face's first texture; any of its three textures being
  // translucent makes the patch translucent.
  const CTextureProperties* texture = PatchTexture(instance, patch);
  const bool translucent = state->IsFaceTranslucent(state->GetPatches()->GetPatch(patch).face);
  BindAndChooseFlags(instance, patch, owner, texture,
                     FlagChoice{!translucent, !translucent, kCastsProjectedShadow, kTextureNoSections});
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
