// TerrainPatchBuilder: relates a textured triangle mesh to a curved-patch mesh lying on the same surface.
#pragma once

#include <vector>

#include "physics/terrain/TerrainDataPatchTextureRecord.h"

class ShadedMesh;

class TerrainPatchBuilder {
 public:
  // For every face of the triangle mesh's render groups and every patch whose control box
  // meets the face's search box, gathers (u, v, s, t) correspondences where the two surfaces
  // meet along the mesh's average normal, within searchDistance on either side: the face's
  // corners dropped onto the patch, the patch's corners dropped onto the face, and the
  // patch borders crossing the walls over the face's edges. Pairs with three or more points
  // become records. The output is emptied first. False (logged, output empty) when the
  // search distance is negative or not finite, or the triangle mesh's arrays do not agree;
  // a patch mesh without patches or a triangle mesh without render groups gives no records.
  static bool Build(const ShadedMesh& patchMesh, const ShadedMesh& triangleMesh,
                    std::vector<PatchTextureRecord>& output, float searchDistance);
};
