// CTerrainPatch: one curved patch of a mesh instance as a static collision primitive, answered through its triangle tree.
#pragma once

#include <cstdint>

#include "physics/terrain/TerrainPolygon.h"

class CurvedPatchInstance;

class CTerrainPatch : public CTerrainPolygon {
 public:
  // Bounded-object bit that marks a patch among the terrain primitives.
  static constexpr uint32_t kPatchMark = 0x20000000;

  CTerrainPatch() = default;
  ~CTerrainPatch() override = default;

  // Binds the primitive to patch `patch` of the instance's curved patches: surface from the
  // first texture of the patch's face record, flags, the world box of its control points and
  // the owner (the patch part holding it when none is given). False (logged, nothing bound)
  // without patch state or for a patch past the patches.
  bool Setup(CMeshInstance* instance, uint32_t patch, CCollisionObject* owner);

  // The query over the patch's cached triangle tree (built on first use).
  bool Intersect(GenericIntersection* query) override;
  // The index names a patch, not a mesh face: marking that face's corners would relight an
  // unrelated face. Patches keep no per-normal lighting to mark.
  void MarkLightingStale() override {}
  // Patches are drawn by their mesh section.
  void Render(CSceneDrawInterface* view) override {}

  int32_t GetPatch() const { return GetFace(); }

  // The texture of the patch's face record (its first slot), or null.
  static const CTextureProperties* PatchTexture(CMeshInstance* instance, uint32_t patch);

 private:
  const CurvedPatchInstance* GetPatchState() const;
};
