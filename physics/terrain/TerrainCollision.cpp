// TerrainCollision: the primitives of a mesh instance, their filing and the octree growth they need.
#include "physics/terrain/TerrainCollision.h"

#include <cmath>
#include <memory>

#include "core/spatial/BoundedObject.h"
#include "core/data/DebugPrintf.h"
#include "core/spatial/Octree.h"
#include "physics/terrain/TerrainPatch.h"
#include "physics/terrain/TerrainPolygon.h"
#include "scene/patch/CurvedPatch.h"
#include "scene/patch/CurvedPatchInstance.h"
#include "scene/mesh/MeshInstance.h"
#include "scene/mesh/ShadedMesh.h"

namespace {

constexpr uint32_t kBuiltPrimitiveBits = CBoundedObject::kNoCellRefs | CBoundedObject::kDoNotDelete;

void GrowOctree(COctree& octree, CMeshInstance& instance) {
  Box box;
  instance.GetWorldBounds(box);
  if (!octree.GetRoot()) {
    octree.Create(box);
    return;
  }
  const Box root = octree.GetRootBox();
  if (!root.ContainsBox(box)) octree.Reset(root.Union(box));
}

void File(CStaticCollisionPrimative& primitive, COctree* octree, std::vector<CStaticCollisionPrimative*>* list,
          uint32_t depth) {
  if (octree) octree->InsertObjectToDepth(&primitive, depth);
  if (list) list->push_back(&primitive);
}

bool IsDegenerate(const Vector3& n) {
  const float lengthSq = n.Dot(n);
  return lengthSq == 0.0f || !std::isfinite(lengthSq);
}

void BuildPolygons(COctree* octree, CMeshInstance& instance, std::vector<CStaticCollisionPrimative*>* list,
                   uint32_t depth, CCollisionObject* owner, bool mark) {
  const uint32_t faces = instance.GetMesh()->faceCount;
  if (faces == 0) return;
  std::shared_ptr<CTerrainPolygon> array(new CTerrainPolygon[faces], std::default_delete<CTerrainPolygon[]>());
  instance.SetTerrainPolygons(array, faces);
  for (uint32_t i = 0; i < faces; ++i) {
    CTerrainPolygon& polygon = array.get()[i];
    if (IsDegenerate(instance.GetWorldFaceNormal(i))) {
      DebugPrintf("Degenerate Polygon at Face %i\n", static_cast<int>(i));
      continue;
    }
    if (!polygon.Setup(&instance, i, owner)) continue;
    polygon.AddBoundFlags(kBuiltPrimitiveBits);
    // The caller decides whether these faces block shadow rays, whatever the owner casts.
    if (mark)
      polygon.AddBoundFlags(CBoundedObject::kCastsShadows);
    else
      polygon.ClearBoundFlags(CBoundedObject::kCastsShadows);
    File(polygon, octree, list, depth);
  }
}

void BuildPatches(COctree* octree, CMeshInstance& instance, std::vector<CStaticCollisionPrimative*>* list,
                  uint32_t depth, CCollisionObject* owner) {
  CurvedPatchInstance* state = instance.GetPatchState();
  if (!state || !state->GetPatches()) return;
  const uint32_t count = state->GetPatchCount();
  if (count == 0) return;
  std::shared_ptr<CTerrainPatch> array(new CTerrainPatch[count], std::default_delete<CTerrainPatch[]>());
  instance.SetTerrainPatches(array, count);
  for (uint32_t i = 0; i < count; ++i) {
    CTerrainPatch& patch = array.get()[i];
    if (!patch.Setup(&instance, i, owner)) continue;
    patch.AddBoundFlags(kBuiltPrimitiveBits);
    File(patch, octree, list, depth);
  }
}

}  // namespace

void BuildTerrainCollisionPolygons(COctree* octree, CMeshInstance* instance,
                                   std::vector<CStaticCollisionPrimative*>* list, uint32_t depth,
                                   CCollisionObject* owner, bool grow, bool mark) {
  ShadedMesh* mesh = instance ? instance->GetMesh() : nullptr;
  if (!mesh) {
    DebugPrintf("TerrainCollision: no mesh instance to build primitives for\n");
    return;
  }
  if (!instance->IsIdentity()) instance->BuildWorldVertices();
  if (!mesh->halfEdges) mesh->BuildEdgeAdjacency();
  if (octree && grow) GrowOctree(*octree, *instance);
  BuildPolygons(octree, *instance, list, depth, owner, mark);
  BuildPatches(octree, *instance, list, depth, owner);
}
